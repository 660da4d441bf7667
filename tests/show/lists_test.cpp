#include <cmath>

#include "show_fixture.h"

namespace nb::test {
namespace {

using ListsTest = ShowTest;

TEST_F(ListsTest, GeneratorMatchesTheClassicSequence) {
    ShowRandom random;
    random.Seed(1);
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169};
    for (int32_t value : expected) {
        EXPECT_EQ(random.Next(), value);
    }
    EXPECT_EQ(random.draws, 5u);
    random.Seed(1);
    EXPECT_EQ(random.draws, 0u);
    EXPECT_EQ(random.Next(), 41);
}

TEST_F(ListsTest, TablesUseTheWrittenPiAndNoWrapping) {
    EXPECT_EQ(show.reciprocalTable[0], 0.0f);
    EXPECT_EQ(show.reciprocalTable[20], static_cast<float>(1.0 / 20));
    for (int i = 0; i < tableSize; ++i) {
        const double radians = i * 3.141592654 / 180;
        ASSERT_EQ(show.cosTable[i], static_cast<float>(std::cos(radians))) << i;
        ASSERT_EQ(show.sinTable[i], static_cast<float>(std::sin(radians))) << i;
    }
    // The written constant differs from pi, so the second turn is not a copy of the first.
    EXPECT_NE(show.cosTable[450], show.cosTable[90]);
}

TEST_F(ListsTest, ApproxDistanceTruncatesThenWeighsTheLargerSide) {
    EXPECT_FLOAT_EQ(ApproxDistance({0, 0}, {3, 4}), 0.3978f * 3 + 0.9604f * 4);
    EXPECT_FLOAT_EQ(ApproxDistance({0, 0}, {4, 3}), 0.3978f * 3 + 0.9604f * 4);
    EXPECT_EQ(ApproxDistance({0, 0}, {0.9f, 0.9f}), 0.0f);
    EXPECT_EQ(ApproxDistance({0, 0}, {-0.9f, -0.9f}), 0.0f);
    EXPECT_FLOAT_EQ(ApproxDistance({5, 5}, {-5.5f, 5}), 0.9604f * 10);
    EXPECT_FLOAT_EQ(ApproxDistance({0, 0}, {3.9f, 0}), 0.9604f * 3);
}

TEST_F(ListsTest, NewRecordsGoToTheHeadAndRemovalRelinksNeighbours) {
    Particle* a = AddParticle(show.sparks, {1, 1}, 1, 2, 3, false);
    Particle* b = AddParticle(show.sparks, {2, 2}, 1, 2, 3, false);
    Particle* c = AddMovingParticle(show.sparks, {3, 3}, 0.5f, -0.5f, 1, 2, 3);
    ASSERT_EQ(Items(show.sparks), (std::vector<Particle*>{c, b, a}));
    EXPECT_EQ(show.sparks.count, 3);
    EXPECT_EQ(c->alpha, 1.0f);
    EXPECT_EQ(c->vx, 0.5f);
    EXPECT_EQ(a->vx, 0.0f);

    RemoveParticle(show.sparks, c);
    EXPECT_EQ(show.sparks.head, b);
    EXPECT_EQ(b->prev, nullptr);
    RemoveParticle(show.sparks, a);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_EQ(show.sparks.count, 1);
}

TEST_F(ListsTest, RibbonsAndOwnersLetGoOfEachOther) {
    Particle* star = AddParticle(show.glitter, {4, 5}, 255, 0, 0, true);
    ASSERT_NE(star->trail, nullptr);
    SmokeTrail* ribbon = star->trail;
    EXPECT_EQ(ribbon->kind, ParticleTrail);
    EXPECT_EQ(ribbon->width, 0.5f);
    EXPECT_EQ(ribbon->alpha, 0.6f);
    EXPECT_EQ(ribbon->head.x, 4.0f);
    EXPECT_EQ(ribbon->tailColour.g, 76.5f);
    EXPECT_EQ(ribbon->attached, 1);

    RemoveParticle(show.glitter, star);
    ASSERT_EQ(show.smokeTrails.count, 1);
    EXPECT_EQ(ribbon->attached, 0);

    Shell* rocket = AddAimedShell(show.shells, TwinRocket, {0, -75}, 1, 1, 1, 90);
    ASSERT_NE(rocket->trail, nullptr);
    EXPECT_EQ(rocket->trail->width, 1.8f);
    RemoveTrail(rocket->trail);
    EXPECT_EQ(rocket->trail, nullptr);
    EXPECT_EQ(show.smokeTrails.count, 1);

    Shell* fountain = AddAimedShell(show.shells, Fountain, {0, -75}, 1, 1, 1, 0);
    EXPECT_EQ(fountain->trail->kind, FountainTrail);
}

TEST_F(ListsTest, NoRibbonsAtTheLowestSmokeLevel) {
    settings.smokeLevel = 0;
    Particle* star = AddParticle(show.glitter, {0, 0}, 1, 1, 1, true);
    Shell* rocket = AddAimedShell(show.shells, Rocket, {0, -75}, 1, 1, 1, 60);
    EXPECT_EQ(star->trail, nullptr);
    EXPECT_EQ(rocket->trail, nullptr);
    EXPECT_EQ(show.smokeTrails.count, 0);
}

TEST_F(ListsTest, CometsGetARibbonOnlyAtHighSmoke) {
    settings.smokeLevel = 1;
    EXPECT_EQ(AddAimedShell(show.shells, Comet, {0, 0}, 1, 1, 1, 10)->trail, nullptr);
    settings.smokeLevel = 2;
    EXPECT_NE(AddAimedShell(show.shells, Comet, {0, 0}, 1, 1, 1, 10)->trail, nullptr);
}

TEST_F(ListsTest, AimedShellDrawsBothSpeedFactorsInOrder) {
    ShowRandom copy = show.random;
    const int32_t fx = copy.Next() % 10;
    const int32_t fy = copy.Next() % 10;
    Shell* shell = AddAimedShell(show.shells, Rocket, {0, -75}, 1, 1, 1, 60);
    EXPECT_EQ(shell->vx, (1 + fx * 0.01f) * show.cosTable[60]);
    EXPECT_EQ(shell->vy, (1 + fy * 0.01f) * show.sinTable[60]);
    EXPECT_EQ(shell->size, 1.3f);
    EXPECT_EQ(show.random.draws, 2u);
}

TEST_F(ListsTest, AgeingFallsFadesAndRemovesByList) {
    Particle* half = AddMovingParticle(show.burstStars, {0, 0}, 1, 2, 1, 1, 1);
    half->alpha = 0.5f;  // exactly 0.5 takes the late factor
    Particle* bright = AddMovingParticle(show.burstStars, {0, 0}, 0, 0, 1, 1, 1);
    Particle* stays = AddParticle(show.burstStars, {0, 0}, 1, 1, 1, false);
    stays->alpha = 0.0589f;  // 0.050065 after the late factor
    Particle* goes = AddParticle(show.burstStars, {0, 0}, 1, 1, 1, false);
    goes->alpha = 0.0588f;  // 0.04998 after the late factor
    AgeParticles(show.burstStars);
    EXPECT_EQ(half->x, 1.0f);
    EXPECT_EQ(half->y, 2.0f);
    EXPECT_EQ(half->vy, 2.0f - 0.01f);
    EXPECT_EQ(half->alpha, 0.5f * 0.85f);
    EXPECT_EQ(bright->alpha, 0.98f);
    EXPECT_TRUE(Contains(show.burstStars, stays));
    EXPECT_EQ(show.burstStars.count, 3);

    Particle* ring = AddParticle(show.ringStars, {0, 0}, 1, 1, 1, false);
    AgeParticles(show.ringStars);
    EXPECT_EQ(ring->vy, -0.005f);
    EXPECT_EQ(ring->alpha, 0.99f);
    Particle* spark = AddParticle(show.sparks, {0, 0}, 1, 1, 1, false);
    spark->alpha = 0.4f;
    AgeParticles(show.sparks);
    EXPECT_EQ(spark->vy, -0.005f);
    EXPECT_EQ(spark->alpha, 0.4f * 0.85f);
}

TEST_F(ListsTest, ExhaustedPoolsDropRecordsWithoutLinks) {
    show.trailPool.SetLimit(1);
    Particle* first = AddParticle(show.glitter, {0, 0}, 1, 1, 1, true);
    Particle* second = AddParticle(show.glitter, {0, 0}, 1, 1, 1, true);
    EXPECT_NE(first->trail, nullptr);
    EXPECT_EQ(second->trail, nullptr);
    EXPECT_EQ(show.smokeTrails.count, 1);

    show.shellPool.SetLimit(1);
    EXPECT_NE(AddShell(show.shells, RingBurst, {0, 0}, 1, 1, 1), nullptr);
    const uint64_t drawsBefore = show.random.draws;
    EXPECT_EQ(AddAimedShell(show.shells, Rocket, {0, 0}, 1, 1, 1, 90), nullptr);
    EXPECT_EQ(show.random.draws, drawsBefore + 2);  // the sequence does not shift
    EXPECT_EQ(show.shells.count, 1);
}

TEST(RecordPoolTest, GrowsABlockAtATimeOnlyForItsBusiestMoment) {
    RecordPool<Particle> pool;
    std::vector<Particle*> taken;
    for (size_t i = 0; i < RecordPool<Particle>::blockSize + 1; ++i) taken.push_back(pool.Take());
    EXPECT_EQ(pool.PeakInUse(), RecordPool<Particle>::blockSize + 1);
    EXPECT_EQ(pool.Capacity(), 2 * RecordPool<Particle>::blockSize);
    for (Particle* particle : taken) pool.Give(particle);
    // Taking and giving back below the old peak reuses the records.
    for (int round = 0; round < 3; ++round) pool.Give(pool.Take());
    EXPECT_EQ(pool.InUse(), 0u);
    EXPECT_EQ(pool.PeakInUse(), RecordPool<Particle>::blockSize + 1);
    EXPECT_EQ(pool.Capacity(), 2 * RecordPool<Particle>::blockSize);
    pool.ReleaseBlocks();
    EXPECT_EQ(pool.PeakInUse(), 0u);
    EXPECT_EQ(pool.Capacity(), 0u);
}

TEST_F(ListsTest, ClearingEverythingFollowsOnlyLiveLinks) {
    // Owners in several lists with attached and detached ribbons; the sanitizer build
    // turns any link followed into freed memory into a failure.
    for (int i = 0; i < 50; ++i) {
        AddParticle(show.glitter, {static_cast<float>(i), 0}, 1, 1, 1, true);
        AddAimedShell(show.shells, Rocket, {0, -75}, 1, 1, 1, 90);
    }
    RemoveParticle(show.glitter, show.glitter.head);
    ClearAllLists();
    EXPECT_EQ(show.glitter.count + show.shells.count + show.smokeTrails.count, 0);
    EXPECT_EQ(show.particlePool.InUse() + show.shellPool.InUse() + show.trailPool.InUse(), 0u);
}

}  // namespace
}  // namespace nb::test
