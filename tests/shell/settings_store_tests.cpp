// The settings store on the in-memory registry: defaults without a key, partial keys,
// the exact values written, clamping of stored levels, silent failures.
#include <gtest/gtest.h>

#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_world.h"
#include "shell/settings_store.h"

namespace nb {
namespace {

const std::string key = "Software\\Lumenfold Software\\Nightbloom";

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { settings = Settings{}; }
  void TearDown() override { settings = Settings{}; }

  fake::FakeWorld world;
  fake::FakeRegistry registry{world};
};

TEST_F(SettingsStoreTest, NoKeyKeepsDefaultsAndCreatesNothing) {
  LoadSettings(registry);
  EXPECT_EQ(settings.useSound, 1);
  EXPECT_EQ(settings.particleLevel, 2);
  EXPECT_EQ(settings.smokeLevel, 2);
  EXPECT_FALSE(registry.KeyExists(key));
  EXPECT_EQ(world.CountCalls("RegCreateKeyExA"), 0u);
  const auto opens = world.CallsNamed("RegOpenKeyExA");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].args[2], int64_t{KEY_ALL_ACCESS});
  EXPECT_EQ(opens[0].texts[0], key);
}

TEST_F(SettingsStoreTest, OnlyStoredValuesReplaceDefaults) {
  registry.SetDword(key, "F", 0);
  LoadSettings(registry);
  EXPECT_EQ(settings.useSound, 1);
  EXPECT_EQ(settings.particleLevel, 0);
  EXPECT_EQ(settings.smokeLevel, 2);
  EXPECT_EQ(registry.OpenKeyCount(), 0u);

  registry.SetDword(key, "E", 0);
  registry.SetDword(key, "G", 1);
  LoadSettings(registry);
  EXPECT_EQ(settings.useSound, 0);
  EXPECT_EQ(settings.smokeLevel, 1);
}

TEST_F(SettingsStoreTest, EveryQueryOffersFourBytes) {
  registry.SetDword(key, "E", 7);
  registry.SetDword(key, "F", 1);
  registry.SetDword(key, "G", 0);
  LoadSettings(registry);
  const auto queries = world.CallsNamed("RegQueryValueExA");
  ASSERT_EQ(queries.size(), 3u);
  for (const auto& query : queries) EXPECT_EQ(query.args[1], 4);
  EXPECT_EQ(queries[0].texts[0], "E");
  EXPECT_EQ(queries[1].texts[0], "F");
  EXPECT_EQ(queries[2].texts[0], "G");
  EXPECT_EQ(settings.useSound, 7);  // any nonzero value means sound on
}

TEST_F(SettingsStoreTest, LevelsOutsideTheRangeAreClamped) {
  registry.SetDword(key, "F", 7);
  registry.SetDword(key, "G", 0xFFFFFFFFu);
  LoadSettings(registry);
  EXPECT_EQ(settings.particleLevel, 2);
  EXPECT_EQ(settings.smokeLevel, 0);
}

TEST_F(SettingsStoreTest, OversizedValueLeavesTheField) {
  registry.SetValue(key, "F", REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0});
  registry.SetValue(key, "G", REG_BINARY, {1});
  settings.smokeLevel = 0;
  LoadSettings(registry);
  EXPECT_EQ(settings.particleLevel, 2);
  EXPECT_EQ(settings.smokeLevel, 1);
}

TEST_F(SettingsStoreTest, SaveWritesThreeDwordsInOrderCreatingTheKey) {
  settings = Settings{0, 1, 0};
  SaveSettings(registry);
  ASSERT_TRUE(registry.KeyExists(key));
  const auto writes = world.CallsNamed("RegSetValueExA");
  ASSERT_EQ(writes.size(), 3u);
  const char* names[] = {"E", "F", "G"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(writes[i].texts[0], names[i]);
    EXPECT_EQ(writes[i].args[1], int64_t{REG_DWORD});
    EXPECT_EQ(writes[i].args[2], 4);
  }
  const auto e = registry.Value(key, "E");
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->type, REG_DWORD);
  EXPECT_EQ(e->bytes, (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(registry.Dword(key, "F"), 1u);
  EXPECT_EQ(registry.Dword(key, "G"), 0u);
  EXPECT_EQ(registry.OpenKeyCount(), 0u);

  // What is saved is what the next start reads.
  settings = Settings{};
  LoadSettings(registry);
  EXPECT_EQ(settings.useSound, 0);
  EXPECT_EQ(settings.particleLevel, 1);
  EXPECT_EQ(settings.smokeLevel, 0);
}

TEST_F(SettingsStoreTest, RegistryFailuresAreSilent) {
  world.FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED);
  SaveSettings(registry);
  EXPECT_FALSE(registry.KeyExists(key));
  EXPECT_EQ(world.CountCalls("RegSetValueExA"), 0u);

  registry.SetDword(key, "F", 0);
  world.FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  LoadSettings(registry);
  EXPECT_EQ(settings.particleLevel, 2);
}

}  // namespace
}  // namespace nb
