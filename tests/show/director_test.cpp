#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "show_fixture.h"

namespace nb::test {
namespace {

using DirectorTest = ShowTest;

// A compact record of every list and the director state, for comparing two runs.
std::string Snapshot() {
    std::string out;
    auto bytes = [&out](const void* p, size_t n) { out.append(static_cast<const char*>(p), n); };
    for (auto* list : {&show.shells, &show.smokePuffs, &show.smokeClouds}) {
        for (Shell* s = list->head; s != nullptr; s = s->next) bytes(s, offsetof(Shell, trail));
    }
    for (SmokeTrail* t = show.smokeTrails.head; t != nullptr; t = t->next) bytes(t, offsetof(SmokeTrail, owner));
    for (auto* list : {&show.burstStars, &show.ringStars, &show.sparks, &show.glitter, &show.skyStars}) {
        for (Particle* p = list->head; p != nullptr; p = p->next) bytes(p, offsetof(Particle, trail));
    }
    bytes(&show.launchInterval, sizeof(float));
    bytes(&show.twinkleAngle, sizeof(float));
    bytes(&show.random.state, sizeof(show.random.state));
    return out;
}

TEST_F(DirectorTest, InitDrawsStarsClocksAndAWindNearHorizontal) {
    for (uint32_t seed : {1u, 2u, 99u, 123456789u}) {
        SimInit(seed);
        EXPECT_EQ(show.skyStars.count, 225);
        EXPECT_EQ(show.launchPatterns[0].length, 8);
        EXPECT_LT(show.launchPatterns[0].clock, 100);
        EXPECT_LT(show.launchPatterns[1].clock, 100);
        EXPECT_GE(show.random.draws, 2u + 450u + 1u);
        // Within 45 degrees of horizontal: |x| at least |y|.
        EXPECT_GE(std::fabs(show.windX), std::fabs(show.windY) - 1e-9f);
        EXPECT_NEAR(std::hypot(show.windX, show.windY), 0.015f, 1e-6f);
        for (Particle* star : Items(show.skyStars)) {
            EXPECT_GE(star->x, -95.0f);
            EXPECT_LT(star->x, 95.0f);
        }
    }
}

TEST_F(DirectorTest, FirstRandomDecisionComesOnTheTwelfthTick) {
    SimInit(5);
    show.launchPatterns[0].clock = -100000;  // keep the tracks quiet
    show.launchPatterns[1].clock = -100000;
    for (int tick = 1; tick <= 11; ++tick) {
        SimTick();
        EXPECT_EQ(show.ticksSinceLaunch, tick);
    }
    SimTick();
    EXPECT_EQ(show.ticksSinceLaunch, 0);
    EXPECT_FLOAT_EQ(show.launchInterval, 10.12f);
}

TEST_F(DirectorTest, IntervalSawToothsAfterItsFirstClimb) {
    SimInit(3);
    float previous = show.launchInterval;
    bool fellBack = false;
    for (int tick = 0; tick < 4000; ++tick) {
        SimTick();
        if (show.launchInterval < previous) {
            fellBack = true;
            EXPECT_FLOAT_EQ(show.launchInterval, 25.01f);
            EXPECT_GE(show.launchIntervalLimit, 45.0f);
            EXPECT_LE(show.launchIntervalLimit, 54.0f);
        }
        previous = show.launchInterval;
    }
    EXPECT_TRUE(fellBack);
}

TEST_F(DirectorTest, FinishedPatternIsReplacedTheSameTickByAnotherThanTheOtherTrack) {
    SimInit(11);
    show.patternTracks[0] = 0;
    show.patternTracks[1] = 5;
    LaunchPattern& p = show.launchPatterns[0];
    p.cursor = 7;
    p.clock = 309;
    show.launchPatterns[5].clock = -100000;
    StepPatterns();
    EXPECT_EQ(show.shells.count, 1);
    EXPECT_EQ(show.shells.head->type, RingBurst);
    EXPECT_NE(show.patternTracks[0], 5);
    EXPECT_EQ(show.launchPatterns[show.patternTracks[0]].cursor, 0);
    EXPECT_LT(show.launchPatterns[show.patternTracks[0]].clock, 100);
}

TEST_F(DirectorTest, EntriesOneTickApartFireOnConsecutiveTicks) {
    SimInit(17);
    show.patternTracks[0] = 2;
    show.patternTracks[1] = 5;
    show.launchPatterns[2].clock = 399;
    show.launchPatterns[2].cursor = 0;
    show.launchPatterns[5].clock = -100000;
    StepPatterns();
    StepPatterns();
    int cascades = 0;
    for (Shell* s : Items(show.shells)) cascades += s->type == Cascade ? 1 : 0;
    EXPECT_EQ(cascades, 2);
}

TEST_F(DirectorTest, SameSeedGivesTheSameShowTickByTick) {
    for (int32_t level : {0, 2}) {
        settings.particleLevel = level;
        settings.smokeLevel = 2 - level;
        std::vector<std::string> first;
        SimInit(424242);
        for (int tick = 0; tick < 3000; ++tick) {
            SimTick();
            if (tick % 97 == 0) first.push_back(Snapshot());
        }
        SimInit(424242);
        size_t index = 0;
        for (int tick = 0; tick < 3000; ++tick) {
            SimTick();
            if (tick % 97 == 0) {
                ASSERT_EQ(Snapshot(), first[index++]) << "tick " << tick;
            }
        }
    }
}

TEST_F(DirectorTest, BusyShowLeavesNoRecordBehind) {
    SimInit(8);
    for (int tick = 0; tick < 6000; ++tick) SimTick();
    EXPECT_GT(show.particlePool.InUse(), 225u);
    SimShutdown();
    EXPECT_EQ(show.particlePool.InUse() + show.shellPool.InUse() + show.trailPool.InUse(), 0u);
}

}  // namespace
}  // namespace nb::test
