#include <algorithm>

#include "show_fixture.h"

namespace nb::test {
namespace {

using SmokeTest = ShowTest;

TEST_F(SmokeTest, FlashLightsSmokeLinearlyInsideItsRadius) {
    Shell* near = AddShell(show.smokeClouds, SmokeCloud, {20, 0}, 76.5f, 76.5f, 76.5f);
    Shell* far = AddShell(show.smokeClouds, SmokeCloud, {21, 0}, 76.5f, 76.5f, 76.5f);
    Shell* young = AddShell(show.smokeClouds, SmokeCloud, {0, 0}, 76.5f, 76.5f, 76.5f);
    near->age = 1;
    far->age = 1;
    LightSmoke({0, 0}, 200, 100, 0, 20);
    const float d = 0.9604f * 20;  // 19.208
    const float u = (1.0f / 20) * (20 - d);
    EXPECT_EQ(near->r, 76.5f + 200 * u);
    EXPECT_EQ(near->g, 76.5f + 100 * u);
    EXPECT_EQ(near->b, 76.5f);
    EXPECT_EQ(far->r, 76.5f);     // 20.17 away: outside
    EXPECT_EQ(young->r, 76.5f);   // clouds of age 0 are not lit

    LightSmoke({0, 0}, 255, 255, 255, 46);
    LightSmoke({20, 0}, 255, 255, 255, 46);
    EXPECT_EQ(near->r, 255.0f);  // saturates
}

TEST_F(SmokeTest, FlashReachesPuffsOfAnyAgeAndEachRibbonPoint) {
    Shell* puff = AddShell(show.smokePuffs, SmokePuff, {0, 0}, 0.15f, 0.15f, 0.15f);
    Shell* owner = AddAimedShell(show.shells, Rocket, {0, 0}, 1, 1, 1, 90);
    SmokeTrail* ribbon = owner->trail;
    ribbon->head = {30, 0};
    ribbon->mid = {15, 0};
    LightSmoke({0, 0}, 100, 100, 100, 20);
    EXPECT_GT(puff->r, 0.15f);
    EXPECT_EQ(ribbon->tailColour.r, 76.5f);  // ribbons of age 0 are not lit
    ribbon->age = 1;
    LightSmoke({0, 0}, 100, 100, 100, 20);
    EXPECT_GT(ribbon->tailColour.r, 76.5f);
    EXPECT_GT(ribbon->midColour.r, 76.5f);
    EXPECT_EQ(ribbon->headColour.r, 76.5f);
}

TEST_F(SmokeTest, PuffBrightensSpinsDriftsAndFades) {
    show.windX = 0.01f;
    show.windY = -0.005f;
    Shell* puff = AddShell(show.smokePuffs, SmokePuff, {0, 0}, 0.15f, 0.15f, 0.15f);
    UpdateShell(show.smokePuffs, puff);
    EXPECT_EQ(puff->size, 5.01f);
    EXPECT_FLOAT_EQ(puff->alpha, 0.4f * 1.012f);
    EXPECT_EQ(puff->x, 0.01f * 0.75f);
    EXPECT_EQ(puff->r, 0.15f * 0.92f + 6.12f);
    int ticks = 1;
    float peak = puff->alpha;
    while (Contains(show.smokePuffs, puff) && ticks < 5000) {
        UpdateShell(show.smokePuffs, puff);
        if (Contains(show.smokePuffs, puff)) peak = std::max(peak, puff->alpha);
        ++ticks;
    }
    EXPECT_LT(ticks, 5000);
    EXPECT_GT(peak, 0.4f);

    Shell* down = AddShell(show.smokePuffs, SmokePuff, {0, 0}, 1, 1, 1);
    UpdateShell(show.smokePuffs, down);
    down->paramA = 0;
    down->angle = 0.1f;
    UpdateShell(show.smokePuffs, down);
    EXPECT_FLOAT_EQ(down->angle, 359.9f);
}

TEST_F(SmokeTest, CloudTurnsItsSeedIntoGrowthAndGrey) {
    Shell* cloud = AddShell(show.smokeClouds, SmokeCloud, {0, 0}, 0.2f, 0, 0);
    UpdateShell(show.smokeClouds, cloud);
    EXPECT_FLOAT_EQ(cloud->paramB, 2.0f * 0.93f);
    EXPECT_FLOAT_EQ(cloud->alpha, 0.3f * 1.017f);
    EXPECT_EQ(cloud->r, 76.5f * 0.92f + 6.12f);
    EXPECT_EQ(cloud->age, 1);
    int ticks = 1;
    while (Contains(show.smokeClouds, cloud) && ticks < 5000) {
        UpdateShell(show.smokeClouds, cloud);
        ++ticks;
    }
    EXPECT_LT(ticks, 5000);
}

TEST_F(SmokeTest, RibbonFollowsItsOwnerThenDriftsWidensAndFades) {
    show.windX = 0.02f;
    Shell* rocket = AddAimedShell(show.shells, Rocket, {0, -75}, 1, 1, 1, 90);
    SmokeTrail* ribbon = rocket->trail;
    rocket->x = 2;
    rocket->y = -60;
    UpdateTrail(ribbon);
    EXPECT_EQ(ribbon->head.y, -60.0f);
    EXPECT_EQ(ribbon->mid.x, (0 + 2) * 0.5f);
    EXPECT_EQ(ribbon->mid.y, (-75 + -60) * 0.5f);
    EXPECT_EQ(ribbon->alpha, 0.6f);
    EXPECT_EQ(ribbon->age, 1);

    RemoveShell(show.shells, rocket);
    UpdateTrail(ribbon);
    EXPECT_EQ(ribbon->alpha, 0.6f * 0.9925f);
    EXPECT_EQ(ribbon->width, 1.01f);
    EXPECT_EQ(ribbon->tail.x, 0.02f);
    int ticks = 2;
    while (show.smokeTrails.count > 0) {
        UpdateTrail(ribbon);
        ++ticks;
    }
    EXPECT_GT(ticks, 400);
    EXPECT_LT(ticks, 500);
}

TEST_F(SmokeTest, FountainBandThickensWhileItRunsAndOutlivesAge200) {
    Shell* fountain = AddAimedShell(show.shells, Fountain, {0, -75}, 1, 1, 1, 0);
    SmokeTrail* band = fountain->trail;
    fountain->x = -50;
    fountain->y = -65;
    UpdateTrail(band);
    EXPECT_EQ(band->width, 18.0f);
    EXPECT_EQ(band->alpha, 0.0033f);
    EXPECT_EQ(band->tail.x, -50.0f);
    EXPECT_EQ(band->mid.x, 0.0f);
    EXPECT_EQ(band->head.x, 50.0f);
    RemoveShell(show.shells, fountain);
    int age = 1;
    while (show.smokeTrails.count > 0 && age < 10000) {
        UpdateTrail(band);
        ++age;
    }
    EXPECT_GT(age, 201);
    EXPECT_LT(age, 10000);
}

}  // namespace
}  // namespace nb::test
