#include <cmath>

#include "show_fixture.h"

namespace nb::test {
namespace {

using FlightTest = ShowTest;

TEST_F(FlightTest, LaunchDrawsThreeTimesBeforeTheTypeDecides) {
    struct Expect {
        int32_t type;
        uint64_t draws;
    };
    for (Expect e : {Expect{RingBurst, 4}, Expect{CometBurst, 4}, Expect{Rocket, 5}, Expect{TwinRocket, 5},
                     Expect{Cascade, 5}, Expect{LowCascade, 5}, Expect{Fountain, 5}}) {
        show.random.Seed(7);
        ShowRandom copy = show.random;
        const int32_t x = copy.Next() % 160 - 80;
        const int32_t colour = copy.Next() % 12;
        const int32_t a = copy.Next();
        const int32_t fourth = copy.Next();
        LaunchShell(e.type);
        Shell* shell = show.shells.head;
        ASSERT_NE(shell, nullptr);
        EXPECT_EQ(show.random.draws, e.draws) << e.type;
        EXPECT_EQ(shell->type, e.type);
        EXPECT_EQ(shell->x, static_cast<float>(x));
        EXPECT_EQ(shell->r, show.shellColours[colour].r);
        if (e.draws == 4) {
            EXPECT_EQ(shell->y, static_cast<float>(fourth % 100 - 50));
            EXPECT_EQ(shell->vx, 0.0f);
            EXPECT_EQ(shell->trail, nullptr);
        } else {
            EXPECT_EQ(shell->y, -75.0f);
            int32_t angle = a % 90 + 45;
            if (e.type == Cascade || e.type == LowCascade) {
                angle = 90;
            } else if (e.type == Fountain) {
                angle = 0;
            }
            EXPECT_EQ(shell->vx, (1 + (fourth % 10) * 0.01f) * show.cosTable[angle]) << e.type;
            EXPECT_NE(shell->trail, nullptr);
        }
        SimShutdown();
    }
}

TEST_F(FlightTest, RocketClimbsStraightAndBurstsOnlyFromAge76) {
    Shell* rocket = AddAimedShell(show.shells, Rocket, {0, -75}, 255, 0, 0, 70);
    const float vx = rocket->vx * 1.3f;
    const float vy = rocket->vy * 1.3f;
    for (int age = 0; age < 76; ++age) {
        UpdateShell(show.shells, rocket);
        ASSERT_EQ(rocket->vx, vx);
        ASSERT_EQ(rocket->vy, vy);
    }
    EXPECT_EQ(rocket->age, 76);
    EXPECT_TRUE(sounds.empty());
    EXPECT_EQ(show.sparks.count, 16);  // ages 0, 5, ... 75
    EXPECT_EQ(show.sparks.head->r, 255.0f);
    EXPECT_EQ(show.sparks.head->g, 255.0f);

    RunShell(rocket, 100000);
    ASSERT_TRUE(show.shells.count == 0 || show.shells.head->type == SmallRingBurst);
    EXPECT_EQ(sounds, std::vector<int32_t>{2});
    ASSERT_EQ(show.glitter.count, 1);
    EXPECT_NE(show.glitter.head->trail, nullptr);
    if (show.shells.count == 0) {
        // A cone burst: a cloud and a cone of stars around the heading after the boost.
        EXPECT_EQ(show.smokeClouds.count, 1);
        EXPECT_EQ(show.burstStars.count, 28);
        for (Particle* p : Items(show.burstStars)) {
            EXPECT_GE(p->vy, 0.0f);  // a cone around 70 degrees spans 0..140
        }
    }
}

TEST_F(FlightTest, TwinRocketSideSparksFollowTheParticleLevel) {
    for (int32_t level : {0, 1, 2}) {
        settings.particleLevel = level;
        Shell* twin = AddAimedShell(show.shells, TwinRocket, {0, -75}, 10, 20, 30, 90);
        UpdateShell(show.shells, twin);  // age 0, even
        UpdateShell(show.shells, twin);  // age 1, odd
        EXPECT_EQ(show.sparks.count, level == 2 ? 3 + 2 : 2) << level;
        EXPECT_EQ(sounds.front(), 3);
        SimShutdown();
        sounds.clear();
    }
}

TEST_F(FlightTest, CascadeClimbsOneStepPastItsTargetThenRains) {
    settings.smokeLevel = 0;
    Shell* cascade = AddAimedShell(show.shells, Cascade, {10, -75}, 100, 50, 25, 90);
    UpdateShell(show.shells, cascade);
    const float target = cascade->paramA;
    EXPECT_GE(target, -10.0f);
    EXPECT_LT(target, 50.0f);
    EXPECT_EQ(cascade->vx, 0.0f);
    while (cascade->paramB != 0) {
        const float before = cascade->y;
        UpdateShell(show.shells, cascade);
        EXPECT_EQ(cascade->y, before + cascade->vy);
        EXPECT_EQ(cascade->age, 1);
    }
    EXPECT_GT(cascade->y - cascade->vy, target);

    std::vector<int> glitterAges;
    int age = 1;
    while (Contains(show.shells, cascade)) {
        const int before = show.glitter.count;
        UpdateShell(show.shells, cascade);
        if (show.glitter.count > before) {
            glitterAges.push_back(age);
        }
        if (age == 3) {
            EXPECT_FLOAT_EQ(cascade->size, 1.3f * 1.4f * 1.4f * 1.4f);
        }
        ++age;
    }
    EXPECT_EQ(glitterAges, (std::vector<int>{5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(sounds, std::vector<int32_t>{4});
    EXPECT_EQ(show.smokeTrails.count, 0);
    for (Particle* p : Items(show.glitter)) {
        EXPECT_GE(p->x, 10.0f - 30);
        EXPECT_LT(p->x, 10.0f + 30);
    }
}

TEST_F(FlightTest, CascadeLetsGoOfItsRibbonAtTheFlash) {
    Shell* cascade = AddAimedShell(show.shells, LowCascade, {0, -75}, 1, 1, 1, 90);
    SmokeTrail* ribbon = cascade->trail;
    ASSERT_NE(ribbon, nullptr);
    while (cascade->paramB != 0 || cascade->age < 2) {
        UpdateShell(show.shells, cascade);
    }
    EXPECT_EQ(cascade->trail, nullptr);
    EXPECT_EQ(ribbon->attached, 0);
    EXPECT_EQ(ribbon->owner, nullptr);
    int glitterTicks = 0;
    while (Contains(show.shells, cascade)) {
        const int before = show.glitter.count;
        UpdateShell(show.shells, cascade);
        glitterTicks += show.glitter.count > before ? 1 : 0;
    }
    EXPECT_EQ(glitterTicks, 12);  // high smoke: ages 5..16
    for (Particle* p : Items(show.glitter)) {
        EXPECT_NE(p->trail, nullptr);  // every LowCascade glitter has a ribbon at high smoke
    }
}

TEST_F(FlightTest, FountainSpraysAHundredUnitsFromItsShiftedStart) {
    Shell* fountain = AddAimedShell(show.shells, Fountain, {-80, -75}, 5, 6, 7, 0);
    EXPECT_EQ(RunShell(fountain, 1000), 201);
    EXPECT_EQ(sounds, std::vector<int32_t>{5});
    int sprayed = 0;
    for (auto* list : {&show.sparks, &show.glitter}) {
        for (Particle* p : Items(*list)) {
            EXPECT_GE(p->x, -130.0f);
            EXPECT_LE(p->x, -31.0f);
            EXPECT_EQ(p->y, -75.0f);
            EXPECT_GE(p->vy, 0.0f);
            ++sprayed;
        }
    }
    EXPECT_EQ(sprayed, 200);
}

TEST_F(FlightTest, CometSplitsItsSmokeAtAge30) {
    settings.smokeLevel = 2;
    Shell* comet = AddAimedShell(show.shells, Comet, {0, 0}, 1, 2, 3, 45);
    SmokeTrail* first = comet->trail;
    ASSERT_NE(first, nullptr);
    for (int age = 0; age <= 30; ++age) {
        UpdateShell(show.shells, comet);
    }
    ASSERT_TRUE(Contains(show.shells, comet));
    SmokeTrail* second = comet->trail;
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(first->attached, 0);
    EXPECT_EQ(first->owner, nullptr);
    EXPECT_EQ(first->head.x, comet->x);
    EXPECT_EQ(first->head.y, comet->y);
    EXPECT_EQ(second->attached, 1);
    const float x30 = comet->x - comet->vx * 0.35f;
    EXPECT_FLOAT_EQ(second->tail.x, x30);  // started before this tick's move
    EXPECT_LT(RunShell(comet, 100000), 100000);
    EXPECT_FALSE(Contains(show.shells, comet));
}

}  // namespace
}  // namespace nb::test
