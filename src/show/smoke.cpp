// Smoke and the light that flashes on it: the puff and cloud objects, the three kinds of
// ribbon, and LightSmoke, which colours every piece of smoke near a flash. Lit colours
// relax back to the resting grey by c * 0.92 + 6.12 each tick (fixed point 76.5).
#include "show/show.h"

namespace nb {

namespace {

int32_t Rand() { return show.random.Next(); }

float Relax(float c) { return c * 0.92f + 6.12f; }

void RelaxColour(Colour& c) {
    c.r = Relax(c.r);
    c.g = Relax(c.g);
    c.b = Relax(c.b);
}

float AddClamped(float c, float add) {
    const float sum = c + add;
    return sum > 255.0f ? 255.0f : sum;
}

void Light(Colour& c, Point2 at, Point2 point, float r, float g, float b, float radius, float k) {
    const float d = ApproxDistance(point, at);
    if (d < radius) {
        const float u = k * (radius - d);
        c.r = AddClamped(c.r, r * u);
        c.g = AddClamped(c.g, g * u);
        c.b = AddClamped(c.b, b * u);
    }
}

void LightShell(Shell* s, Point2 point, float r, float g, float b, float radius, float k) {
    Colour c{s->r, s->g, s->b};
    Light(c, Point2{s->x, s->y}, point, r, g, b, radius, k);
    s->r = c.r;
    s->g = c.g;
    s->b = c.b;
}

void RelaxShell(Shell* s) {
    s->r = Relax(s->r);
    s->g = Relax(s->g);
    s->b = Relax(s->b);
}

void UpdateSmokePuff(RecordList<Shell>& list, Shell* s, int32_t age) {
    if (age == 0) {
        s->paramA = static_cast<float>(Rand() % 2);
        s->paramB = (Rand() % 5 + 10) * 0.1f;
        s->size = 5;
        s->alpha = 0.4f;
        s->angle = static_cast<float>(Rand() % 360);
    }
    s->alpha *= s->paramB < 0.1f ? 0.99f : 1.012f;
    s->paramB *= 0.93f;
    s->size += 0.01f;
    if (s->paramA != 0) {
        s->angle += 0.2f;
        if (s->angle >= 360) {
            s->angle -= 360;
        }
    } else {
        s->angle -= 0.2f;
        if (s->angle < 0) {
            s->angle += 360;
        }
    }
    s->x += show.windX * 0.75f;
    s->y += show.windY * 0.75f;
    if (s->alpha < 0.1f) {
        RemoveShell(list, s);
        return;
    }
    RelaxShell(s);
    ++s->age;
}

void UpdateSmokeCloud(RecordList<Shell>& list, Shell* s, int32_t age) {
    if (age == 0) {
        s->alpha = 0.3f;
        s->paramB = s->r * 10;
        s->size = 1;
        s->angle = static_cast<float>(Rand() % 360);
        s->r = smokeGrey;
        s->g = smokeGrey;
        s->b = smokeGrey;
    }
    s->x += show.windX * 0.4f;
    s->y += show.windY * 0.4f;
    if (s->paramB < 0.1f) {
        s->alpha *= 0.9925f;
        s->size += 0.04f;
    } else {
        s->alpha *= 1.017f;
    }
    s->paramB *= 0.93f;
    s->size += s->paramB;
    if (s->alpha < 0.1f) {
        RemoveShell(list, s);
        return;
    }
    RelaxShell(s);
    ++s->age;
}

void Drift(Point2& p) {
    p.x += show.windX;
    p.y += show.windY;
}

void DriftTrail(SmokeTrail* t) {
    Drift(t->head);
    Drift(t->tail);
    Drift(t->mid);
}

void RelaxTrail(SmokeTrail* t) {
    RelaxColour(t->midColour);
    RelaxColour(t->headColour);
    RelaxColour(t->tailColour);
}

Point2 OwnerPosition(const SmokeTrail* t) {
    if (t->kind == ParticleTrail) {
        const Particle* p = static_cast<const Particle*>(t->owner);
        return Point2{p->x, p->y};
    }
    const Shell* s = static_cast<const Shell*>(t->owner);
    return Point2{s->x, s->y};
}

}  // namespace

void UpdateSmokeShell(RecordList<Shell>& list, Shell* shell, int32_t age) {
    if (shell->type == SmokePuff) {
        UpdateSmokePuff(list, shell, age);
    } else {
        UpdateSmokeCloud(list, shell, age);
    }
}

void LightSmoke(Point2 point, float r, float g, float b, float radius) {
    const int32_t index = static_cast<int32_t>(radius);
    if (index < 0 || index >= tableSize) {
        return;  // the show's flashes all lie well inside the table
    }
    const float k = show.reciprocalTable[index];
    for (Shell* s = show.smokePuffs.head; s != nullptr; s = s->next) {
        LightShell(s, point, r, g, b, radius, k);
    }
    for (Shell* s = show.smokeClouds.head; s != nullptr; s = s->next) {
        if (s->age > 0) {
            LightShell(s, point, r, g, b, radius, k);
        }
    }
    for (SmokeTrail* t = show.smokeTrails.head; t != nullptr; t = t->next) {
        if (t->age > 0) {
            Light(t->midColour, t->mid, point, r, g, b, radius, k);
            Light(t->headColour, t->head, point, r, g, b, radius, k);
            Light(t->tailColour, t->tail, point, r, g, b, radius, k);
        }
    }
}

void UpdateTrail(SmokeTrail* t) {
    const bool steered = t->attached != 0 && t->owner != nullptr;
    if (t->kind == FountainTrail) {
        if (t->age == 0) {
            t->alpha = 0;
            t->width = 18;
        }
        if (steered) {
            const Point2 at = OwnerPosition(t);
            t->tail = at;
            t->mid = Point2{at.x + 50, at.y};
            t->head = Point2{at.x + 100, at.y};
            t->alpha += 0.0033f;
        } else {
            DriftTrail(t);
            t->width += 0.01f;
            t->alpha *= 0.9925f;
        }
        RelaxTrail(t);
        if (t->alpha < 0.05f && t->age > 200) {
            RemoveTrail(t);
        } else {
            ++t->age;
        }
        return;
    }
    if (steered) {
        t->head = OwnerPosition(t);
        t->mid = Point2{(t->tail.x + t->head.x) * 0.5f, (t->tail.y + t->head.y) * 0.5f};
    } else {
        DriftTrail(t);
        t->width += t->kind == ShellTrail ? 0.01f : 0.006f;
        t->alpha *= 0.9925f;
    }
    RelaxTrail(t);
    if (t->alpha >= 0.02f) {
        ++t->age;
    } else {
        RemoveTrail(t);
    }
}

}  // namespace nb
