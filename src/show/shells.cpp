// Launching shells and flying the types that climb or stand on the ground before they
// end: rockets, twin rockets, the two cascades, fountains and comets. Every random draw
// is taken into a named value first, in the order the show depends on.
#include <cmath>

#include "show/show.h"

namespace nb {

namespace {

int32_t Rand() { return show.random.Next(); }

// A spark's velocity: the y factor is drawn before the x factor.
void SparkVelocity(float spread, float offset, float& vx, float& vy) {
    const int32_t d1 = Rand() % 10;
    const int32_t d2 = Rand() % 10;
    vx = d2 * spread - offset;
    vy = d1 * spread - offset;
}

void AddSpark(Point2 at, float spread, float offset, float r, float g, float b) {
    float vx = 0.0f;
    float vy = 0.0f;
    SparkVelocity(spread, offset, vx, vy);
    AddMovingParticle(show.sparks, at, vx, vy, r, g, b);
}

Point2 PositionOf(const Shell* shell) { return Point2{shell->x, shell->y}; }

void UpdateRocket(RecordList<Shell>& list, Shell* s, int32_t age) {
    if (age == 0) {
        s->vx *= 1.3f;
        s->vy *= 1.3f;
    }
    s->x += s->vx;
    s->y += s->vy;
    if (age % 2 == 1) {
        LightSmoke(PositionOf(s), s->r, s->g, s->b, 20);
    }
    if (age % 5 == 0) {
        AddSpark(PositionOf(s), 0.08f, 0.4f, 255, 255, 255);
    }
    if (age >= 76 && Rand() % 10 == 0) {
        const Point2 at = PositionOf(s);
        AddParticle(show.glitter, at, s->r, s->g, s->b, true);
        const int32_t k = Rand() % 6;
        if (k > 2) {
            const float w = (Rand() % 5) * 0.01f + 0.1f;
            AddShell(show.smokeClouds, SmokeCloud, at, w, 0, 0);
            const int32_t heading =
                static_cast<int32_t>(std::atan2(static_cast<double>(s->vy), static_cast<double>(s->vx)) *
                                     57.29577948);
            EmitCone(show.burstStars, at, s->r, s->g, s->b, heading);
        } else {
            AddShell(show.shells, SmallRingBurst, at, s->r, s->g, s->b);
        }
        RaiseSound(2);
        RemoveShell(list, s);
        return;
    }
    ++s->age;
}

void UpdateTwinRocket(RecordList<Shell>& list, Shell* s, int32_t age) {
    if (age == 0) {
        RaiseSound(3);
    }
    s->x += s->vx;
    s->y += s->vy;
    if (age % 2 == 1) {
        AddSpark(Point2{s->x + s->vy, s->y + s->vx}, 0.04f, 0.2f, s->r, s->g, s->b);
        AddSpark(Point2{s->x + 2 * s->vy, s->y + 2 * s->vx}, 0.04f, 0.2f, s->r, s->g, s->b);
        LightSmoke(PositionOf(s), s->r, s->g, s->b, 20);
    } else if (settings.particleLevel == 2) {
        AddSpark(Point2{s->x - s->vy, s->y - s->vx}, 0.04f, 0.2f, s->r, s->g, s->b);
        AddSpark(Point2{s->x - 2 * s->vy, s->y - 2 * s->vx}, 0.04f, 0.2f, s->r, s->g, s->b);
        AddParticle(show.sparks, PositionOf(s), s->r, s->g, s->b, false);
    }
    if (age >= 51 && Rand() % 6 == 0) {
        AddParticle(show.glitter, PositionOf(s), s->r, s->g, s->b, false);
        AddShell(show.shells, Pinwheel, PositionOf(s), s->r, s->g, s->b);
        RemoveShell(list, s);
        return;
    }
    ++s->age;
}

// Cascade and LowCascade share their life: climb to a drawn height, swell, flash, then
// rain glitter where they stopped.
void UpdateCascade(RecordList<Shell>& list, Shell* s, int32_t age, bool low) {
    if (age == 0) {
        s->paramA = low ? static_cast<float>(Rand() % 50 - 30) : static_cast<float>(Rand() % 60 - 10);
        s->vy = low ? static_cast<float>(Rand() % 2 + 1) : static_cast<float>(Rand() % 2 + 2);
        s->vx = 0;
        s->paramB = 1;
    }
    if (s->paramB != 0) {
        if (s->y > s->paramA) {
            s->paramB = 0;
        }
        s->age = 0;
        s->y += s->vy;
        ++s->age;
        return;
    }
    if (age == 1 && s->trail != nullptr) {
        s->trail->attached = 0;
        s->trail->owner = nullptr;
        s->trail = nullptr;
    }
    if (age >= 1 && age <= 3) {
        s->size *= 1.4f;
    } else if (age == 4) {
        RaiseSound(4);
        s->size = 0;
    } else if (age >= 5) {
        Point2 p;
        if (low) {
            const int32_t dx = Rand() % 40;
            p.x = s->x + dx - 20;
            const int32_t dy = Rand() % 30;
            p.y = s->paramA + dy - 10;
            AddParticle(show.glitter, p, s->r, s->g, s->b, settings.smokeLevel == 2);
        } else {
            const int32_t dx = Rand() % 60;
            p.x = s->x + dx - 30;
            const int32_t dy = Rand() % 50;
            p.y = s->paramA + dy - 15;
            if (age % 2 == 1) {
                AddParticle(show.glitter, p, s->r, s->g, s->b, settings.smokeLevel == 1);
            } else {
                AddParticle(show.glitter, p, 255, 255, 255, settings.smokeLevel == 2);
            }
        }
        LightSmoke(p, s->r, s->g, s->b, 15);
    }
    const int32_t lastAge = low ? 5 * settings.smokeLevel + 5 : 10 * settings.smokeLevel + 10;
    if (age > lastAge) {
        RemoveShell(list, s);
        return;
    }
    ++s->age;
}

void UpdateFountain(RecordList<Shell>& list, Shell* s, int32_t age) {
    if (age == 0) {
        s->x -= 50;
        s->y = -65;
        RaiseSound(5);
    }
    if (age >= 200) {
        RemoveShell(list, s);
        return;
    }
    const int32_t dx = Rand() % 100;
    const Point2 p{s->x + dx, -75};
    if (age % 2 == 1) {
        LightSmoke(p, s->r, s->g, s->b, 15);
    }
    const int32_t d = Rand() % 10;
    const int32_t d1 = Rand() % 10;
    const int32_t d2 = Rand() % 10;
    const float vx = d2 * 0.1f - 0.5f;
    const float vy = d1 * 0.09f;
    if (d != 0) {
        AddMovingParticle(show.sparks, p, vx, vy, s->r, s->g, s->b);
    } else {
        AddMovingParticle(show.glitter, p, vx, vy, 255, 255, 255);
    }
    ++s->age;
}

void UpdateComet(RecordList<Shell>& list, Shell* s, int32_t age) {
    SmokeTrail* oldTrail = s->trail;
    const bool split = age == 30 && settings.smokeLevel == 2;
    if (split) {
        s->trail = AttachShellTrail(s);
    }
    s->x += s->vx * 0.35f;
    s->y += s->vy * 0.35f;
    s->vy -= 0.01f;
    if (age % 2 == 1) {
        const int32_t d = Rand();
        if (d % 2 == 0) {
            AddSpark(PositionOf(s), 0.04f, 0.2f, s->r, s->g, s->b);
        } else {
            AddSpark(PositionOf(s), 0.04f, 0.2f, 177, 177, 177);
        }
    }
    if (split && oldTrail != nullptr) {
        oldTrail->head = PositionOf(s);
        oldTrail->owner = nullptr;
        oldTrail->attached = 0;
    }
    const int32_t d = Rand() % 5;
    if (age > 60 && d == 0) {
        RemoveShell(list, s);
        return;
    }
    ++s->age;
}

}  // namespace

void UpdateBurstShell(RecordList<Shell>& list, Shell* shell, int32_t age);
void UpdateSmokeShell(RecordList<Shell>& list, Shell* shell, int32_t age);

void LaunchShell(int32_t type) {
    Point2 position{static_cast<float>(Rand() % 160 - 80), -75};
    const Colour colour = show.shellColours[Rand() % 12];
    const int32_t a = Rand();
    Shell* shell = nullptr;
    if (type == RingBurst || type == CometBurst) {
        position.y = static_cast<float>(Rand() % 100 - 50);
        shell = AddShell(show.shells, type, position, colour.r, colour.g, colour.b);
    } else {
        int32_t angle = a % 90 + 45;
        if (type == Cascade || type == LowCascade) {
            angle = 90;
        } else if (type == Fountain) {
            angle = 0;
        }
        shell = AddAimedShell(show.shells, type, position, colour.r, colour.g, colour.b, angle);
    }
    if (shell != nullptr && show.hooks.launch != nullptr) {
        show.hooks.launch(show.hooks.context, type, *shell);
    }
}

void UpdateShell(RecordList<Shell>& list, Shell* shell) {
    const int32_t age = shell->age;
    switch (shell->type) {
        case RingBurst:
        case SmallRingBurst:
        case Pinwheel:
        case CometBurst:
            UpdateBurstShell(list, shell, age);
            break;
        case Rocket:
            UpdateRocket(list, shell, age);
            break;
        case TwinRocket:
            UpdateTwinRocket(list, shell, age);
            break;
        case Cascade:
            UpdateCascade(list, shell, age, false);
            break;
        case LowCascade:
            UpdateCascade(list, shell, age, true);
            break;
        case Fountain:
            UpdateFountain(list, shell, age);
            break;
        case Comet:
            UpdateComet(list, shell, age);
            break;
        case SmokePuff:
        case SmokeCloud:
            UpdateSmokeShell(list, shell, age);
            break;
        default:
            break;
    }
}

}  // namespace nb
