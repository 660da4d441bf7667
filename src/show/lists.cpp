// Creation, removal and ageing of the show's records, the shared tables and the fast
// distance estimate. Removal keeps ribbons and their owners consistent: a ribbon whose
// owner goes is let go, and an owner whose ribbon goes loses its link.
#include <cmath>

#include "show/show.h"

namespace nb {

ShowState show;

namespace {

template <class T>
void LinkAtHead(RecordList<T>& list, T* record) {
    record->prev = nullptr;
    record->next = list.head;
    if (list.head != nullptr) {
        list.head->prev = record;
    }
    list.head = record;
    ++list.count;
}

template <class T>
void Unlink(RecordList<T>& list, T* record) {
    if (record->prev != nullptr) {
        record->prev->next = record->next;
    } else {
        list.head = record->next;
    }
    if (record->next != nullptr) {
        record->next->prev = record->prev;
    }
    --list.count;
}

SmokeTrail* NewTrail(int32_t kind, Point2 at, float width, void* owner) {
    if (settings.smokeLevel == 0) {
        return nullptr;
    }
    SmokeTrail* trail = show.trailPool.Take();
    if (trail == nullptr) {
        return nullptr;
    }
    trail->kind = kind;
    trail->age = 0;
    trail->alpha = 0.6f;
    trail->tail = at;
    trail->head = at;
    trail->mid = at;
    trail->midColour = Colour{smokeGrey, smokeGrey, smokeGrey};
    trail->headColour = trail->midColour;
    trail->tailColour = trail->midColour;
    trail->width = width;
    trail->attached = 1;
    trail->owner = owner;
    LinkAtHead(show.smokeTrails, trail);
    return trail;
}

void LetGo(SmokeTrail* trail) {
    if (trail != nullptr) {
        trail->attached = 0;
        trail->owner = nullptr;
    }
}

struct Ageing {
    float gravity;
    float early;
    float late;
};

Ageing AgeingOf(const RecordList<Particle>& list) {
    if (&list == &show.ringStars) {
        return {0.005f, 0.99f, 0.8f};
    }
    if (&list == &show.sparks) {
        return {0.005f, 0.98f, 0.85f};
    }
    return {0.01f, 0.98f, 0.85f};  // burstStars and glitter
}

}  // namespace

Particle* AddParticle(RecordList<Particle>& list, Point2 position, float r, float g, float b, bool withTrail) {
    Particle* particle = show.particlePool.Take();
    if (particle == nullptr) {
        return nullptr;
    }
    particle->r = r;
    particle->g = g;
    particle->b = b;
    particle->alpha = 1.0f;
    particle->x = position.x;
    particle->y = position.y;
    LinkAtHead(list, particle);
    if (withTrail) {
        particle->trail = AttachParticleTrail(particle);
    }
    return particle;
}

Particle* AddMovingParticle(RecordList<Particle>& list, Point2 position, float vx, float vy, float r, float g,
                            float b) {
    Particle* particle = AddParticle(list, position, r, g, b, false);
    if (particle != nullptr) {
        particle->vx = vx;
        particle->vy = vy;
    }
    return particle;
}

Shell* AddShell(RecordList<Shell>& list, int32_t type, Point2 position, float r, float g, float b) {
    Shell* shell = show.shellPool.Take();
    if (shell == nullptr) {
        return nullptr;
    }
    shell->type = type;
    shell->r = r;
    shell->g = g;
    shell->b = b;
    shell->alpha = 1.0f;
    shell->x = position.x;
    shell->y = position.y;
    LinkAtHead(list, shell);
    return shell;
}

Shell* AddAimedShell(RecordList<Shell>& list, int32_t type, Point2 position, float r, float g, float b,
                     int32_t angleDeg) {
    // Both speed factors are drawn even when no record can be had, so that a dropped
    // shell does not shift the rest of the show's random sequence.
    const int32_t fx = show.random.Next() % 10;
    const float vx = (1 + fx * 0.01f) * show.cosTable[angleDeg];
    const int32_t fy = show.random.Next() % 10;
    const float vy = (1 + fy * 0.01f) * show.sinTable[angleDeg];
    Shell* shell = AddShell(list, type, position, r, g, b);
    if (shell == nullptr) {
        return nullptr;
    }
    shell->vx = vx;
    shell->vy = vy;
    shell->size = 1.3f;
    if (!(type == Comet && settings.smokeLevel != 2)) {
        shell->trail = AttachShellTrail(shell);
    }
    return shell;
}

SmokeTrail* AttachShellTrail(Shell* shell) {
    const int32_t kind = shell->type == Fountain ? FountainTrail : ShellTrail;
    const float width = shell->type == TwinRocket ? 1.8f : 1.0f;
    return NewTrail(kind, Point2{shell->x, shell->y}, width, shell);
}

SmokeTrail* AttachParticleTrail(Particle* particle) {
    return NewTrail(ParticleTrail, Point2{particle->x, particle->y}, 0.5f, particle);
}

void RemoveParticle(RecordList<Particle>& list, Particle* particle) {
    LetGo(particle->trail);
    Unlink(list, particle);
    show.particlePool.Give(particle);
}

void RemoveShell(RecordList<Shell>& list, Shell* shell) {
    LetGo(shell->trail);
    Unlink(list, shell);
    show.shellPool.Give(shell);
}

void RemoveTrail(SmokeTrail* trail) {
    if (trail->attached != 0 && trail->owner != nullptr) {
        if (trail->kind == ParticleTrail) {
            static_cast<Particle*>(trail->owner)->trail = nullptr;
        } else {
            static_cast<Shell*>(trail->owner)->trail = nullptr;
        }
    }
    Unlink(show.smokeTrails, trail);
    show.trailPool.Give(trail);
}

void ClearParticles(RecordList<Particle>& list) {
    while (list.head != nullptr) {
        RemoveParticle(list, list.head);
    }
}

void ClearShells(RecordList<Shell>& list) {
    while (list.head != nullptr) {
        RemoveShell(list, list.head);
    }
}

void ClearTrails() {
    while (show.smokeTrails.head != nullptr) {
        RemoveTrail(show.smokeTrails.head);
    }
}

void ClearAllLists() {
    ClearParticles(show.skyStars);
    ClearParticles(show.ringStars);
    ClearParticles(show.glitter);
    ClearParticles(show.sparks);
    ClearParticles(show.burstStars);
    ClearTrails();
    ClearShells(show.smokeClouds);
    ClearShells(show.smokePuffs);
    ClearShells(show.shells);
}

void AgeParticles(RecordList<Particle>& list) {
    const Ageing ageing = AgeingOf(list);
    Particle* particle = list.head;
    while (particle != nullptr) {
        Particle* next = particle->next;
        particle->x += particle->vx;
        particle->y += particle->vy;
        particle->vy -= ageing.gravity;
        if (particle->alpha > 0.5f) {
            particle->alpha *= ageing.early;
        } else {
            particle->alpha *= ageing.late;
        }
        if (particle->alpha < 0.05f) {
            RemoveParticle(list, particle);
        }
        particle = next;
    }
}

float ApproxDistance(Point2 p, Point2 q) {
    const int32_t dx = std::abs(static_cast<int32_t>(p.x - q.x));
    const int32_t dy = std::abs(static_cast<int32_t>(p.y - q.y));
    if (dy >= dx) {
        return 0.3978f * dx + 0.9604f * dy;
    }
    return 0.3978f * dy + 0.9604f * dx;
}

void BuildTables() {
    for (int32_t i = 0; i < tableSize; ++i) {
        const double radians = i * 3.141592654 / 180;
        show.cosTable[i] = static_cast<float>(std::cos(radians));
        show.sinTable[i] = static_cast<float>(std::sin(radians));
        show.reciprocalTable[i] = i == 0 ? 0.0f : static_cast<float>(1.0 / i);
    }
}

void RaiseSound(int32_t id) {
    if (show.hooks.sound != nullptr) {
        show.hooks.sound(show.hooks.context, id);
    }
}

}  // namespace nb
