// The director: starts the show once and advances it one tick at a time. Launches come
// from a random schedule whose interval drifts in a saw-tooth, and from two tracks that
// play short scripted runs of launches against each other.
#include "show/show.h"

namespace nb {

namespace {

int32_t Rand() { return show.random.Next(); }

constexpr Colour initialColours[12] = {
    {255, 100, 100},      {0, 255, 0},         {0, 0, 255},     {255, 63.75f, 14.5f},
    {173.4f, 31.875f, 255}, {255, 25.5f, 112.2f}, {255, 63.75f, 175.95f}, {107.1f, 200.175f, 255},
    {163.2f, 255, 122.4f}, {255, 255, 0},        {255, 0, 255},   {107.865f, 255, 0},
};

constexpr LaunchPattern initialPatterns[patternCount] = {
    {{100, 130, 160, 190, 220, 250, 280, 310}, 0, 0, 8,
     {RingBurst, RingBurst, RingBurst, RingBurst, RingBurst, RingBurst, RingBurst, RingBurst}},
    {{100, 200, 300}, 0, 0, 3, {Fountain, Fountain, Fountain}},
    {{400, 401, 502, 503}, 0, 0, 4, {Cascade, Cascade, Cascade, Cascade}},
    {{300, 306, 312}, 0, 0, 3, {LowCascade, LowCascade, LowCascade}},
    {{100, 160, 161, 200, 201}, 0, 0, 5, {CometBurst, LowCascade, LowCascade, Rocket, Rocket}},
    {{200, 220, 240, 260, 280}, 0, 0, 5, {TwinRocket, TwinRocket, TwinRocket, TwinRocket, TwinRocket}},
};

void MakeSkyStars() {
    for (int32_t y0 = -75; y0 <= 69; y0 += 6) {
        for (int32_t col = 0; col < y0 * 0.5f + 40; col += 4) {
            if (col < 50) {
                const int32_t x = Rand() % 190 - 95;
                const int32_t dy = Rand() % 10;
                const float y = y0 + dy * 0.7f - 0.5f;
                AddParticle(show.skyStars, Point2{static_cast<float>(x), y}, 255, 255, 255, false);
            }
        }
    }
}

void ChooseWind() {
    int32_t a = 0;
    do {
        a = Rand() % 360;
    } while ((45 < a && a < 135) || (225 < a && a < 315));
    show.windX = show.cosTable[a] * 0.015f;
    show.windY = show.sinTable[a] * 0.015f;
}

template <class Update>
void WalkShells(RecordList<Shell>& list, Update update) {
    Shell* shell = list.head;
    while (shell != nullptr) {
        Shell* next = shell->next;
        update(list, shell);
        shell = next;
    }
}

}  // namespace

void SimInit(uint32_t seed) {
    ClearAllLists();
    show.random.Seed(seed);
    show.ticksSinceLaunch = 0;
    show.twinkleAngle = 1.0f;
    show.launchIntervalLimit = 20;
    show.launchInterval = 10;
    for (int32_t i = 0; i < 12; ++i) {
        show.shellColours[i] = initialColours[i];
    }
    for (int32_t i = 0; i < patternCount; ++i) {
        show.launchPatterns[i] = initialPatterns[i];
    }
    show.patternTracks[0] = 0;
    show.patternTracks[1] = 1;
    show.launchPatterns[0].clock = Rand() % 100;
    show.launchPatterns[1].clock = Rand() % 100;
    MakeSkyStars();
    BuildTables();
    ChooseWind();
}

void StepPatterns() {
    LaunchPattern* patterns = show.launchPatterns;
    int32_t* tracks = show.patternTracks;
    ++patterns[tracks[0]].clock;
    ++patterns[tracks[1]].clock;
    for (int32_t t = 0; t < 2; ++t) {
        LaunchPattern& p = patterns[tracks[t]];
        if (p.cursor < p.length && p.clock == p.ticks[p.cursor]) {
            const int32_t type = p.types[p.cursor];
            ++p.cursor;
            LaunchShell(type);
        }
    }
    for (int32_t t = 0; t < 2; ++t) {
        if (patterns[tracks[t]].cursor == patterns[tracks[t]].length) {
            do {
                tracks[t] = Rand() % patternCount;
            } while (tracks[0] == tracks[1]);
            LaunchPattern& picked = patterns[tracks[t]];
            picked.clock = Rand() % 100;
            picked.cursor = 0;
        }
    }
}

void SimTick() {
    if (show.launchInterval > show.launchIntervalLimit) {
        show.launchIntervalLimit = static_cast<float>(Rand() % 10 + 45);
        show.launchInterval = 25;
    }
    show.launchInterval += 0.01f;

    StepPatterns();

    if (show.ticksSinceLaunch >= show.launchInterval) {
        show.ticksSinceLaunch = 0;
        const int32_t d = Rand() % 23;
        if (d <= 9) {
            LaunchShell(RingBurst);
        } else if (d <= 12) {
            LaunchShell(Rocket);
        } else if (d == 13) {
            LaunchShell(TwinRocket);
        } else if (d == 14) {
            LaunchShell(LowCascade);
        } else if (d == 15) {
            LaunchShell(CometBurst);
        }
    } else {
        show.ticksSinceLaunch += 1;
    }

    WalkShells(show.shells, UpdateShell);
    WalkShells(show.smokePuffs, UpdateShell);
    WalkShells(show.smokeClouds, UpdateShell);
    SmokeTrail* trail = show.smokeTrails.head;
    while (trail != nullptr) {
        SmokeTrail* next = trail->next;
        UpdateTrail(trail);
        trail = next;
    }
    AgeParticles(show.burstStars);
    AgeParticles(show.ringStars);
    AgeParticles(show.sparks);
    AgeParticles(show.glitter);

    show.twinkleAngle = static_cast<float>(Rand() % 360);
}

void SimShutdown() { ClearAllLists(); }

}  // namespace nb
