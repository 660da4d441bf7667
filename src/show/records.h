// The three record types of the show and the numbers of the shell types. Records are
// intrusive: each carries its own list links, so creation and removal are O(1) and a
// record can be removed while its list is being walked.
#pragma once

#include <cstdint>

namespace nb {

enum ShellType : int32_t {
    RingBurst = 0,
    Rocket = 1,
    TwinRocket = 2,
    Cascade = 3,
    LowCascade = 4,
    Fountain = 5,
    SmokePuff = 6,
    SmokeCloud = 7,
    SmallRingBurst = 8,
    Pinwheel = 9,
    ShellTrail = 10,
    ParticleTrail = 11,
    FountainTrail = 12,
    CometBurst = 13,
    Comet = 14,
};

struct Point2 {
    float x = 0.0f;
    float y = 0.0f;
};

struct Colour {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

struct SmokeTrail;

struct Particle {
    float r, g, b;
    float alpha;
    float vx, vy;
    float x, y;
    SmokeTrail* trail;
    Particle* next;
    Particle* prev;
};

struct Shell {
    int32_t type;
    int32_t age;
    float r, g, b;
    float alpha;
    float vx, vy;
    float x, y;
    float angle;
    float size;
    float paramA;
    float paramB;
    SmokeTrail* trail;
    Shell* next;
    Shell* prev;
};

struct SmokeTrail {
    int32_t kind;
    int32_t age;
    float alpha;
    Point2 mid;
    Point2 head;
    Point2 tail;
    Colour midColour;
    Colour headColour;
    Colour tailColour;
    float width;
    int32_t attached;
    // The followed record: a Particle for ParticleTrail, a Shell for the other kinds.
    void* owner;
    SmokeTrail* next;
    SmokeTrail* prev;
};

}  // namespace nb
