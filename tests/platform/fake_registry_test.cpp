// The in-memory registry keeps each value's type and exact bytes and answers with the
// platform's sizes and codes: a missing key is not created by opening it, a short buffer
// gets ERROR_MORE_DATA with the needed size, names and paths ignore case.
#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr const char* kKey = "Software\\Lumenfold Software\\Nightbloom";

TEST(FakeRegistry, OpenDoesNotCreateCreateDoes) {
  nb::fake::FakePlatform fake;
  nb::RegKey key{};
  EXPECT_EQ(fake.registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(fake.registry.KeyExists(kKey));
  uint32_t disposition = 0;
  ASSERT_EQ(fake.registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, nb::REG_OPTION_NON_VOLATILE,
                                          nb::KEY_ALL_ACCESS, &key, &disposition),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(disposition, nb::REG_CREATED_NEW_KEY);
  EXPECT_TRUE(fake.registry.KeyExists("software\\LUMENFOLD SOFTWARE"));  // parents too, any case
  EXPECT_EQ(fake.registry.RegCloseKey(key), nb::ERROR_SUCCESS);
  EXPECT_EQ(fake.registry.RegCloseKey(key), nb::ERROR_INVALID_HANDLE);
  ASSERT_EQ(fake.registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key, &disposition),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(disposition, nb::REG_OPENED_EXISTING_KEY);
  fake.registry.RegCloseKey(key);
  EXPECT_EQ(fake.registry.OpenKeyCount(), 0u);
}

TEST(FakeRegistry, ValuesKeepTypeAndExactBytes) {
  nb::fake::FakePlatform fake;
  nb::RegKey key{};
  ASSERT_EQ(fake.registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key, nullptr),
            nb::ERROR_SUCCESS);
  const uint32_t level = 2;
  ASSERT_EQ(fake.registry.RegSetValueExA(key, "F", nb::REG_DWORD, reinterpret_cast<const uint8_t*>(&level), 4),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(fake.registry.RegSetValueExA(key, "G", nb::REG_DWORD, reinterpret_cast<const uint8_t*>(&level), 2),
            nb::ERROR_INVALID_PARAMETER);
  char field[40] = "640 x 480 x 16";
  ASSERT_EQ(fake.registry.RegSetValueExA(key, "D", nb::REG_SZ, reinterpret_cast<const uint8_t*>(field), 40),
            nb::ERROR_SUCCESS);

  EXPECT_EQ(fake.registry.Dword(kKey, "f"), 2u);
  auto stored = fake.registry.Value(kKey, "D");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->type, nb::REG_SZ);
  EXPECT_EQ(stored->bytes.size(), 40u);  // terminator and padding kept
  EXPECT_EQ(fake.registry.String(kKey, "D"), "640 x 480 x 16");

  uint32_t type = 0;
  uint32_t size = 4;
  uint32_t value = 7;
  EXPECT_EQ(fake.registry.RegQueryValueExA(key, "E", &type, reinterpret_cast<uint8_t*>(&value), &size),
            nb::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(value, 7u);
  char small[16] = {};
  size = sizeof small;
  EXPECT_EQ(fake.registry.RegQueryValueExA(key, "D", &type, reinterpret_cast<uint8_t*>(small), &size),
            nb::ERROR_MORE_DATA);
  EXPECT_EQ(size, 40u);
  EXPECT_EQ(small[0], 0);  // untouched
  size = 0;
  EXPECT_EQ(fake.registry.RegQueryValueExA(key, "D", &type, nullptr, &size), nb::ERROR_SUCCESS);
  EXPECT_EQ(size, 40u);
  char back[40] = {};
  size = sizeof back;
  ASSERT_EQ(fake.registry.RegQueryValueExA(key, "d", &type, reinterpret_cast<uint8_t*>(back), &size),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(std::memcmp(back, field, 40), 0);
  EXPECT_EQ(type, nb::REG_SZ);
  fake.registry.RegCloseKey(key);
  EXPECT_EQ(fake.registry.RegQueryValueExA(key, "D", &type, reinterpret_cast<uint8_t*>(back), &size),
            nb::ERROR_INVALID_HANDLE);
}

TEST(FakeRegistry, TestHelpersWriteWhatTheProgramReads) {
  nb::fake::FakePlatform fake;
  fake.registry.SetString(kKey, "A", "Primary Display Driver", 40);
  fake.registry.SetValue(kKey, "B", nb::REG_SZ, std::vector<uint8_t>(41, 'x'));
  nb::RegKey key{};
  ASSERT_EQ(fake.registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key), nb::ERROR_SUCCESS);
  char buffer[40];
  uint32_t size = 40;
  EXPECT_EQ(fake.registry.RegQueryValueExA(key, "A", nullptr, reinterpret_cast<uint8_t*>(buffer), &size),
            nb::ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "Primary Display Driver");
  size = 40;
  EXPECT_EQ(fake.registry.RegQueryValueExA(key, "B", nullptr, reinterpret_cast<uint8_t*>(buffer), &size),
            nb::ERROR_MORE_DATA);
  fake.registry.RegCloseKey(key);
  fake.registry.DeleteKey("Software\\Lumenfold Software");
  EXPECT_FALSE(fake.registry.KeyExists(kKey));
}

}  // namespace
