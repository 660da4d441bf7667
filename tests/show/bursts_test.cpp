#include <cmath>

#include "show_fixture.h"

namespace nb::test {
namespace {

using BurstsTest = ShowTest;

TEST_F(BurstsTest, RingSizeFollowsTheParticleLevel) {
    const int expected[3] = {22, 28, 40};
    for (int32_t level : {0, 1, 2}) {
        settings.particleLevel = level;
        Shell* burst = AddShell(show.shells, RingBurst, {0, 20}, 255, 0, 0);
        UpdateShell(show.shells, burst);
        EXPECT_EQ(show.burstStars.count, expected[level]);
        EXPECT_EQ(show.smokeClouds.count, 1);
        EXPECT_FLOAT_EQ(show.smokeClouds.head->r * 0.9f, burst->paramB);  // cloud seeded with the start strength
        UpdateShell(show.shells, burst);
        UpdateShell(show.shells, burst);
        EXPECT_EQ(show.sparks.count, expected[level]);
        EXPECT_EQ(RunShell(burst, 100), 8);  // ages 3..9, removed on the eleventh update
        SimShutdown();
    }
}

TEST_F(BurstsTest, RingAlphasCycleFromPointNineToOne) {
    EmitRing(show.burstStars, {0, 0}, 1, 1, 1, 0.2f);
    std::vector<Particle*> stars = Items(show.burstStars);
    ASSERT_EQ(stars.size(), 40u);
    // The list runs newest first; the first star made is the tail.
    std::vector<float> alphas;
    for (auto it = stars.rbegin(); it != stars.rend(); ++it) {
        alphas.push_back((*it)->alpha);
    }
    EXPECT_FLOAT_EQ(alphas[0], 0.90f);
    EXPECT_FLOAT_EQ(alphas[1], 0.91f);
    EXPECT_FLOAT_EQ(alphas[10], 1.00f);
    EXPECT_FLOAT_EQ(alphas[11], 0.90f);
    EXPECT_FLOAT_EQ(alphas[22], 0.90f);
    // A second emitter call starts the cycle again.
    EmitRing(show.sparks, {0, 0}, 1, 1, 1, 0.2f);
    EXPECT_FLOAT_EQ(Items(show.sparks).back()->alpha, 0.90f);
}

TEST_F(BurstsTest, RingVelocitiesUseTwoIndependentMultipliers) {
    settings.particleLevel = 0;
    ShowRandom copy = show.random;
    EmitRing(show.burstStars, {3, 4}, 1, 1, 1, 0.19f);
    std::vector<Particle*> stars = Items(show.burstStars);
    int d = 0;
    for (auto it = stars.rbegin(); it != stars.rend(); ++it, d += 17) {
        const int32_t mx = copy.Next() % 3 + 2;
        const int32_t my = copy.Next() % 3 + 2;
        EXPECT_EQ((*it)->vx, mx * show.cosTable[d] * 0.19f);
        EXPECT_EQ((*it)->vy, my * show.sinTable[d] * 0.19f);
        EXPECT_EQ((*it)->x, 3.0f);
    }
}

TEST_F(BurstsTest, ConeAroundStraightUpSpansTwentyToOneSixty) {
    ShowRandom copy = show.random;
    EmitCone(show.burstStars, {0, 0}, 1, 1, 1, 90);
    std::vector<Particle*> stars = Items(show.burstStars);
    ASSERT_EQ(stars.size(), 28u);
    std::vector<int> indices;
    for (int d = 380; d < 450; d += 5) indices.push_back(d);
    for (int d = 90; d < 160; d += 5) indices.push_back(d);
    size_t i = 0;
    for (auto it = stars.rbegin(); it != stars.rend(); ++it, ++i) {
        const int32_t mx = copy.Next() % 3 + 1;
        const int32_t my = copy.Next() % 3 + 1;
        EXPECT_EQ((*it)->vx, mx * show.cosTable[indices[i]] * 0.2f) << i;
        EXPECT_EQ((*it)->vy, my * show.sinTable[indices[i]] * 0.2f) << i;
    }
    // The alpha cycle runs on across both loops: star 15 is the fourth of its cycle.
    EXPECT_FLOAT_EQ(stars[stars.size() - 15]->alpha, 0.93f);
}

TEST_F(BurstsTest, CometBurstThrowsCometsAtUnwrappedAngles) {
    settings.particleLevel = 1;
    Shell* burst = AddShell(show.shells, CometBurst, {0, 10}, 9, 8, 7);
    ShowRandom copy = show.random;
    copy.Next();                           // strength
    for (int i = 0; i < 28; ++i) {         // the ring: 2 draws per star at level 1
        copy.Next();
        copy.Next();
    }
    const int32_t base = copy.Next() % 360;
    UpdateShell(show.shells, burst);
    EXPECT_EQ(sounds, std::vector<int32_t>{0});
    EXPECT_EQ(show.ringStars.count, 28);
    EXPECT_EQ(show.smokeClouds.head->r, 0.25f);
    std::vector<Shell*> comets;
    for (Shell* s : Items(show.shells)) {
        if (s->type == Comet) comets.push_back(s);
    }
    ASSERT_EQ(comets.size(), 4u);
    const int offsets[4] = {45, 135, 225, 315};
    for (int i = 0; i < 4; ++i) {
        Shell* comet = comets[3 - i];  // made first, so furthest from the head
        const float expectedCos = show.cosTable[base + offsets[i]];
        EXPECT_NEAR(comet->vx / expectedCos, 1.045f, 0.046f) << i;
    }
}

TEST_F(BurstsTest, PinwheelWrapsItsAngleAndAlternatesArms) {
    Shell* wheel = AddShell(show.shells, Pinwheel, {0, 0}, 40, 50, 60);
    UpdateShell(show.shells, wheel);
    EXPECT_EQ(sounds, std::vector<int32_t>{2});
    ASSERT_EQ(show.smokePuffs.count, 1);
    EXPECT_EQ(show.smokePuffs.head->r, 0.15f);
    EXPECT_EQ(std::fabs(wheel->paramB), 17.0f);

    wheel->paramA = 5;
    wheel->paramB = -17;
    UpdateShell(show.shells, wheel);  // age 1
    EXPECT_EQ(wheel->paramA, 348.0f);
    // Odd ages add the arm offsets: white spark first, then the coloured one.
    Particle* coloured = show.sparks.head;
    Particle* white = coloured->next;
    EXPECT_EQ(white->r, 255.0f);
    EXPECT_EQ(coloured->r, 40.0f);
    EXPECT_LT(white->x, 0.0f);  // sin(348) < 0
    EXPECT_GT(white->y, 0.0f);  // cos(348) > 0
    UpdateShell(show.shells, wheel);  // age 2: the opposite arm
    EXPECT_GT(show.sparks.head->x, 0.0f);
    EXPECT_EQ(RunShell(wheel, 100), 19);  // ages 3..21
    EXPECT_EQ(show.sparks.count, 44);
}

TEST_F(BurstsTest, SmallRingBurstIsSilentAndWeaker) {
    Shell* burst = AddShell(show.shells, SmallRingBurst, {0, 0}, 1, 1, 1);
    UpdateShell(show.shells, burst);
    EXPECT_TRUE(sounds.empty());
    EXPECT_GE(show.smokeClouds.head->r, 0.1f);
    EXPECT_LE(show.smokeClouds.head->r, 0.14f + 1e-6f);
    EXPECT_EQ(RunShell(burst, 100), 10);
}

}  // namespace
}  // namespace nb::test
