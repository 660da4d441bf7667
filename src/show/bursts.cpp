// What a burst puts into the sky: rings and forward cones of stars, the four burst
// types that live in the shell list, and how the particle level scales them.
#include "show/show.h"

namespace nb {

namespace {

int32_t Rand() { return show.random.Next(); }

// Starting brightness of ring and cone stars: 0.90, 0.91, ... 1.00, then again. The
// spread makes the stars of one ring cross the fade threshold on different ticks.
class AlphaCycle {
public:
    float Next() {
        const float alpha = 1.0f - offset_;
        const float nextOffset = offset_ - 0.01f;
        offset_ = nextOffset > 0.0f ? nextOffset : 0.1f;
        return alpha;
    }

private:
    float offset_ = 0.1f;
};

void AddRingStar(RecordList<Particle>& list, Point2 position, float vx, float vy, float r, float g, float b,
                 AlphaCycle& cycle) {
    const float alpha = cycle.Next();
    Particle* particle = AddMovingParticle(list, position, vx, vy, r, g, b);
    if (particle != nullptr) {
        particle->alpha = alpha;
    }
}

// Levels outside 0..2 can only come from a damaged store; they count as the nearest level.
int32_t ParticleLevel() {
    const int32_t level = settings.particleLevel;
    return level < 0 ? 0 : (level > 2 ? 2 : level);
}

int32_t RingStep() {
    static constexpr int32_t steps[3] = {17, 13, 9};
    return steps[ParticleLevel()];
}

int32_t ConeStep() {
    static constexpr int32_t steps[3] = {13, 9, 5};
    return steps[ParticleLevel()];
}

Point2 PositionOf(const Shell* shell) { return Point2{shell->x, shell->y}; }

void UpdateRingBurst(RecordList<Shell>& list, Shell* s, int32_t age) {
    if (age == 0) {
        s->paramB = (Rand() % 5) * 0.01f + 0.19f;
        EmitRing(show.burstStars, PositionOf(s), s->r, s->g, s->b, s->paramB);
        AddShell(show.smokeClouds, SmokeCloud, PositionOf(s), s->paramB, 0, 0);
        const int32_t d = Rand();
        RaiseSound(d % 2 == 1 ? 0 : 1);
    }
    if (age == 2) {
        EmitRing(show.sparks, PositionOf(s), s->r, s->g, s->b, s->paramB);
    }
    if (age > 9) {
        RemoveShell(list, s);
        return;
    }
    LightSmoke(PositionOf(s), s->r, s->g, s->b, s->paramB * 200);
    s->paramB *= 0.9f;
    ++s->age;
}

void UpdateSmallRingBurst(RecordList<Shell>& list, Shell* s, int32_t age) {
    if (age == 0) {
        s->paramB = (Rand() % 5) * 0.01f + 0.1f;
        EmitRing(show.burstStars, PositionOf(s), s->r, s->g, s->b, s->paramB);
        AddShell(show.smokeClouds, SmokeCloud, PositionOf(s), s->paramB, 0, 0);
    }
    if (age > 9) {
        RemoveShell(list, s);
        return;
    }
    LightSmoke(PositionOf(s), s->r, s->g, s->b, s->paramB * 150);
    s->paramB *= 0.9f;
    ++s->age;
}

void UpdateCometBurst(RecordList<Shell>& list, Shell* s, int32_t age) {
    if (age == 0) {
        s->paramB = (Rand() % 5) * 0.01f + 0.17f;
        EmitRing(show.ringStars, PositionOf(s), s->r, s->g, s->b, s->paramB * 0.7f);
        AddShell(show.smokeClouds, SmokeCloud, PositionOf(s), 0.25f, 0, 0);
        const int32_t base = Rand() % 360;
        static constexpr int32_t offsets[3][5] = {
            {0, 120, 240, 0, 0}, {45, 135, 225, 315, 0}, {0, 72, 144, 216, 288}};
        const int32_t level = ParticleLevel();
        const int32_t comets = level + 3;
        for (int32_t i = 0; i < comets; ++i) {
            AddAimedShell(show.shells, Comet, PositionOf(s), s->r, s->g, s->b, base + offsets[level][i]);
        }
        RaiseSound(0);
    }
    if (age > 9) {
        RemoveShell(list, s);
        return;
    }
    LightSmoke(PositionOf(s), s->r, s->g, s->b, s->paramB * 200);
    ++s->age;
}

void UpdatePinwheel(RecordList<Shell>& list, Shell* s, int32_t age) {
    if (age == 0) {
        s->paramA = static_cast<float>(Rand() % 360);
        const int32_t d = Rand();
        s->paramB = d % 2 == 0 ? 17.0f : -17.0f;
        RaiseSound(2);
        AddShell(show.smokePuffs, SmokePuff, PositionOf(s), 0.15f, 0.15f, 0.15f);
    }
    s->paramA += s->paramB;
    if (s->paramA < 0) {
        s->paramA += 360;
    }
    if (s->paramA >= 360) {
        s->paramA -= 360;
    }
    const int32_t a = static_cast<int32_t>(s->paramA);
    // Odd ticks throw from one arm of the wheel, even ticks from the opposite arm.
    const float side = age % 2 == 1 ? 1.0f : -1.0f;
    const int32_t k1 = Rand() % 2 + 2;
    const int32_t k2 = Rand() % 2 + 2;
    if (side > 0) {
        AddParticle(show.sparks, Point2{s->x + k1 * show.sinTable[a], s->y + k2 * show.cosTable[a]}, 255, 255, 255,
                    false);
    } else {
        AddParticle(show.sparks, Point2{s->x - k1 * show.sinTable[a], s->y - k2 * show.cosTable[a]}, 255, 255, 255,
                    false);
    }
    const int32_t k3 = Rand() % 4 + 2;
    const int32_t k4 = Rand() % 4 + 2;
    if (side > 0) {
        AddParticle(show.sparks, Point2{s->x + k3 * show.sinTable[a], s->y + k4 * show.cosTable[a]}, s->r, s->g, s->b,
                    false);
        LightSmoke(PositionOf(s), s->r, s->g, s->b, 20);
    } else {
        AddParticle(show.sparks, Point2{s->x - k3 * show.sinTable[a], s->y - k4 * show.cosTable[a]}, s->r, s->g, s->b,
                    false);
    }
    if (age >= 21) {
        RemoveShell(list, s);
        return;
    }
    ++s->age;
}

}  // namespace

void UpdateBurstShell(RecordList<Shell>& list, Shell* shell, int32_t age) {
    switch (shell->type) {
        case RingBurst:
            UpdateRingBurst(list, shell, age);
            break;
        case SmallRingBurst:
            UpdateSmallRingBurst(list, shell, age);
            break;
        case CometBurst:
            UpdateCometBurst(list, shell, age);
            break;
        case Pinwheel:
            UpdatePinwheel(list, shell, age);
            break;
        default:
            break;
    }
}

void EmitRing(RecordList<Particle>& list, Point2 position, float r, float g, float b, float speed) {
    const int32_t step = RingStep();
    AlphaCycle cycle;
    for (int32_t d = 0; d < 360; d += step) {
        const int32_t mx = Rand() % 3 + 2;
        const float vx = mx * show.cosTable[d] * speed;
        const int32_t my = Rand() % 3 + 2;
        const float vy = my * show.sinTable[d] * speed;
        AddRingStar(list, position, vx, vy, r, g, b, cycle);
    }
}

void EmitCone(RecordList<Particle>& list, Point2 position, float r, float g, float b, int32_t heading) {
    LightSmoke(position, r, g, b, 25);
    const int32_t step = ConeStep();
    AlphaCycle cycle;
    auto emit = [&](int32_t from, int32_t to) {
        for (int32_t d = from; d < to; d += step) {
            const int32_t mx = Rand() % 3 + 1;
            const float vx = mx * show.cosTable[d] * 0.2f;
            const int32_t my = Rand() % 3 + 1;
            const float vy = my * show.sinTable[d] * 0.2f;
            AddRingStar(list, position, vx, vy, r, g, b, cycle);
        }
    };
    emit(heading + 290, heading + 360);
    emit(heading, heading + 70);
}

}  // namespace nb
