// The fireworks show: a deterministic simulation advanced one fixed tick at a time.
// Everything in the sky lives in nine intrusive lists of plain records; the director
// launches shells by a random schedule and two scripted tracks, then updates every list
// in a fixed order. All arithmetic is single precision, evaluated left to right, and
// every random number comes from the one generator in the state below.
//
// Depends on the standard library only: no platform headers, no clock. Sound events
// and launches leave through hooks that the program sets. Drawing reads the lists and
// `twinkleAngle` after a tick and never writes them.
#pragma once

#include <cstdint>

#include "show/pool.h"
#include "show/random.h"
#include "show/records.h"
#include "show/settings.h"

namespace nb {

template <class T>
struct RecordList {
    T* head = nullptr;
    int32_t count = 0;
};

struct LaunchPattern {
    int32_t ticks[8];
    int32_t clock;
    int32_t cursor;
    int32_t length;
    int32_t types[8];
};

// Where the show's events go. Either function may be null.
struct ShowHooks {
    void* context = nullptr;
    void (*sound)(void* context, int32_t id) = nullptr;
    // Called when LaunchShell has created its shell, with the shell as created.
    void (*launch)(void* context, int32_t type, const Shell& shell) = nullptr;
};

constexpr int32_t tableSize = 720;
constexpr int32_t patternCount = 6;
constexpr float smokeGrey = 76.5f;

struct ShowState {
    ShowRandom random;

    RecordList<Shell> shells;
    RecordList<Shell> smokePuffs;
    RecordList<Shell> smokeClouds;
    RecordList<SmokeTrail> smokeTrails;
    RecordList<Particle> burstStars;
    RecordList<Particle> ringStars;
    RecordList<Particle> sparks;
    RecordList<Particle> glitter;
    RecordList<Particle> skyStars;

    float cosTable[tableSize] = {};
    float sinTable[tableSize] = {};
    float reciprocalTable[tableSize] = {};
    Colour shellColours[12] = {};

    float launchInterval = 10.0f;
    float launchIntervalLimit = 20.0f;
    int32_t ticksSinceLaunch = 0;
    float twinkleAngle = 1.0f;
    float windX = 0.0f;
    float windY = 0.0f;
    LaunchPattern launchPatterns[patternCount] = {};
    int32_t patternTracks[2] = {0, 1};

    ShowHooks hooks;

    RecordPool<Particle> particlePool;
    RecordPool<Shell> shellPool;
    RecordPool<SmokeTrail> trailPool;
};

// The process-wide show.
extern ShowState show;

// Records and lists. Creating operations insert at the head of the list and return the
// record, or nullptr when no record could be had (the caller then stores no link).
Particle* AddParticle(RecordList<Particle>& list, Point2 position, float r, float g, float b, bool withTrail);
Particle* AddMovingParticle(RecordList<Particle>& list, Point2 position, float vx, float vy, float r, float g,
                            float b);
Shell* AddShell(RecordList<Shell>& list, int32_t type, Point2 position, float r, float g, float b);
Shell* AddAimedShell(RecordList<Shell>& list, int32_t type, Point2 position, float r, float g, float b,
                     int32_t angleDeg);
SmokeTrail* AttachShellTrail(Shell* shell);
SmokeTrail* AttachParticleTrail(Particle* particle);
void RemoveParticle(RecordList<Particle>& list, Particle* particle);
void RemoveShell(RecordList<Shell>& list, Shell* shell);
void RemoveTrail(SmokeTrail* trail);
void ClearParticles(RecordList<Particle>& list);
void ClearShells(RecordList<Shell>& list);
void ClearTrails();
// Empties all nine lists in the one order in which every followed link stays valid.
void ClearAllLists();

void AgeParticles(RecordList<Particle>& list);
float ApproxDistance(Point2 p, Point2 q);
void BuildTables();

// Shells, bursts and smoke.
void LaunchShell(int32_t type);
void UpdateShell(RecordList<Shell>& list, Shell* shell);
void EmitRing(RecordList<Particle>& list, Point2 position, float r, float g, float b, float speed);
void EmitCone(RecordList<Particle>& list, Point2 position, float r, float g, float b, int32_t heading);
void LightSmoke(Point2 point, float r, float g, float b, float radius);
void UpdateTrail(SmokeTrail* trail);

// The director.
void SimInit(uint32_t seed);
void SimTick();
void StepPatterns();
// Clears every list; the show can be started again with SimInit.
void SimShutdown();

// Raises a sound event through the hooks.
void RaiseSound(int32_t id);

}  // namespace nb
