// Settings given on the command line: the saver reads them as if stored, whether or not the
// key exists; the stored values and every other value stay as they are, and nothing the
// overrides answer is ever written.
#include "platform/sdl/settings_override.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "shell/settings_store.h"

namespace {

constexpr const char* kKey = "Software\\Lumenfold Software\\Nightbloom";

class SettingsOverrideTest : public ::testing::Test {
 protected:
  void SetUp() override { nb::settings = nb::Settings{}; }
  void TearDown() override { nb::settings = nb::Settings{}; }
  nb::fake::FakePlatform fake;
};

TEST_F(SettingsOverrideTest, OverridesAreReadEvenWithoutAStoredKey) {
  nb::SettingsOverrideRegistry registry(fake.registry, kKey, {{"F", 0}, {"e", 0}});
  nb::LoadSettings(registry);
  EXPECT_EQ(nb::settings.useSound, 0);
  EXPECT_EQ(nb::settings.particleLevel, 0);
  EXPECT_EQ(nb::settings.smokeLevel, 2);  // not overridden, not stored: the default
  EXPECT_FALSE(fake.registry.KeyExists(kKey));  // reading made nothing
}

TEST_F(SettingsOverrideTest, StoredValuesStayAndTheRestPassesThrough) {
  fake.registry.SetDword(kKey, "E", 1);
  fake.registry.SetDword(kKey, "F", 2);
  fake.registry.SetDword(kKey, "G", 1);
  fake.registry.SetString(kKey, "C", "RGB Emulation", 40);
  nb::SettingsOverrideRegistry registry(fake.registry, kKey, {{"G", 0}});
  nb::LoadSettings(registry);
  EXPECT_EQ(nb::settings.useSound, 1);
  EXPECT_EQ(nb::settings.particleLevel, 2);
  EXPECT_EQ(nb::settings.smokeLevel, 0);
  EXPECT_EQ(fake.registry.Dword(kKey, "G"), 1u);

  nb::RegKey key{};
  ASSERT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_SUCCESS);
  uint32_t type = 0;
  uint32_t size = 0;
  ASSERT_EQ(registry.RegQueryValueExA(key, "C", &type, nullptr, &size), nb::ERROR_SUCCESS);
  EXPECT_EQ(size, 40u);
  // The overridden value answers with the platform's size rules too.
  uint8_t small[2];
  size = 2;
  EXPECT_EQ(registry.RegQueryValueExA(key, "g", &type, small, &size), nb::ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(type, nb::REG_DWORD);
  EXPECT_EQ(registry.RegQueryValueExA(key, "G", &type, small, nullptr), nb::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(registry.RegCloseKey(key), nb::ERROR_SUCCESS);
  EXPECT_EQ(registry.RegCloseKey(key), nb::ERROR_INVALID_HANDLE);
  EXPECT_EQ(fake.registry.OpenKeyCount(), 0u);
}

TEST_F(SettingsOverrideTest, OnlyTheSettingsKeyIsAnswered) {
  fake.registry.SetDword("Software\\Other", "F", 2);
  nb::SettingsOverrideRegistry registry(fake.registry, kKey, {{"F", 0}});
  nb::RegKey key{};
  ASSERT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, "Software\\Other", 0,
                                   nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_SUCCESS);
  uint32_t value = 9;
  uint32_t size = 4;
  ASSERT_EQ(registry.RegQueryValueExA(key, "F", nullptr, reinterpret_cast<uint8_t*>(&value), &size),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(value, 2u);
  registry.RegCloseKey(key);
  EXPECT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, "Software\\Missing", 0,
                                   nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_FILE_NOT_FOUND);
}

TEST_F(SettingsOverrideTest, SavingWritesWhatTheDialogChoseNotTheOverrides) {
  nb::SettingsOverrideRegistry registry(fake.registry, kKey, {{"F", 0}});
  nb::LoadSettings(registry);
  nb::settings.smokeLevel = 1;
  nb::SaveSettings(registry);  // an explicit save stores the settings in force
  EXPECT_EQ(fake.registry.Dword(kKey, "F"), 0u);
  EXPECT_EQ(fake.registry.Dword(kKey, "G"), 1u);
  EXPECT_EQ(fake.registry.Dword(kKey, "E"), 1u);
}

TEST_F(SettingsOverrideTest, WritingThroughTheStandInOfAMissingKeyMakesIt) {
  nb::SettingsOverrideRegistry registry(fake.registry, "Software\\Lumenfold Software\\Nightbloom",
                                        {{"E", 0}});
  nb::RegKey key{};
  ASSERT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, "software\\lumenfold software\\nightbloom\\",
                                   0, nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_SUCCESS);
  uint32_t value = 0;
  uint32_t size = 4;
  EXPECT_EQ(registry.RegQueryValueExA(key, "F", nullptr, reinterpret_cast<uint8_t*>(&value), &size),
            nb::ERROR_FILE_NOT_FOUND);
  const uint32_t one = 1;
  ASSERT_EQ(registry.RegSetValueExA(key, "X", nb::REG_DWORD, reinterpret_cast<const uint8_t*>(&one), 4),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(fake.registry.Dword(kKey, "X"), 1u);
  EXPECT_EQ(registry.RegCloseKey(key), nb::ERROR_SUCCESS);
  EXPECT_EQ(fake.registry.OpenKeyCount(), 0u);
}

TEST_F(SettingsOverrideTest, AnExtraShowsDeviceChoiceIsReadButNeverSaved) {
  fake.registry.SetString(kKey, "D", "1280 x 720 x 32", 40);
  nb::SettingsOverrideRegistry registry(fake.registry, kKey, {},
                                        {{"C", "RGB Emulation"}, {"d", "1024 x 768 x 32"}});
  nb::RegKey key{};
  ASSERT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_SUCCESS);
  char text[40];
  uint32_t type = 0;
  uint32_t size = sizeof(text);
  ASSERT_EQ(registry.RegQueryValueExA(key, "D", &type, reinterpret_cast<uint8_t*>(text), &size),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(type, nb::REG_SZ);
  EXPECT_EQ(size, 40u);  // the whole field, as the saved choice is kept
  EXPECT_STREQ(text, "1024 x 768 x 32");
  size = 39;
  EXPECT_EQ(registry.RegQueryValueExA(key, "C", &type, reinterpret_cast<uint8_t*>(text), &size),
            nb::ERROR_MORE_DATA);
  EXPECT_EQ(size, 40u);
  // The choice saved after the show starts: the answered values are dropped, the rest
  // goes through.
  const char mode[40] = "1024 x 768 x 32";
  const char driver[40] = "Primary Display Driver";
  EXPECT_EQ(registry.RegSetValueExA(key, "D", nb::REG_SZ, reinterpret_cast<const uint8_t*>(mode), 40),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(registry.RegSetValueExA(key, "A", nb::REG_SZ, reinterpret_cast<const uint8_t*>(driver), 40),
            nb::ERROR_SUCCESS);
  registry.RegCloseKey(key);
  EXPECT_EQ(fake.registry.String(kKey, "D"), std::string("1280 x 720 x 32"));
  EXPECT_EQ(fake.registry.String(kKey, "A"), std::string("Primary Display Driver"));
  EXPECT_FALSE(fake.registry.String(kKey, "C").has_value());
}

}  // namespace
