// The settings store: three REG_DWORD values "E", "F", "G" in this order.
#include "shell/settings_store.h"

#include <cstring>

namespace nb {

namespace {

// The stored type is not examined: whatever bytes fit in the field replace its first
// bytes, as a 4-byte query on the platform does; a larger value leaves it as it is.
void QueryInto(Registry& registry, RegKey key, const char* name, int32_t& field) {
  uint8_t bytes[4];
  std::memcpy(bytes, &field, sizeof bytes);
  uint32_t size = sizeof bytes;
  if (registry.RegQueryValueExA(key, name, nullptr, bytes, &size) == ERROR_SUCCESS) {
    std::memcpy(&field, bytes, sizeof bytes);
  }
}

void SetDword(Registry& registry, RegKey key, const char* name, int32_t value) {
  uint8_t bytes[4];
  std::memcpy(bytes, &value, sizeof bytes);
  registry.RegSetValueExA(key, name, REG_DWORD, bytes, sizeof bytes);
}

}  // namespace

int32_t ClampLevel(int32_t level) {
  if (level < 0) return 0;
  if (level > 2) return 2;
  return level;
}

void LoadSettings(Registry& registry) {
  RegKey key{};
  if (registry.RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey, 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  QueryInto(registry, key, "E", settings.useSound);
  QueryInto(registry, key, "F", settings.particleLevel);
  QueryInto(registry, key, "G", settings.smokeLevel);
  registry.RegCloseKey(key);
  // The show indexes its tables by level; a hand-edited value must not reach it.
  settings.particleLevel = ClampLevel(settings.particleLevel);
  settings.smokeLevel = ClampLevel(settings.smokeLevel);
}

void SaveSettings(Registry& registry) {
  RegKey key{};
  if (registry.RegCreateKeyExA(HKEY_CURRENT_USER, settingsKey, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  SetDword(registry, key, "E", settings.useSound);
  SetDword(registry, key, "F", settings.particleLevel);
  SetDword(registry, key, "G", settings.smokeLevel);
  registry.RegCloseKey(key);
}

}  // namespace nb
