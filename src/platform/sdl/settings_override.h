// Settings given on the command line for one run (--particles, --smoke, --sound /
// --no-sound): a registry in front of the real one that answers the reads of the three
// setting values under the settings key with the given numbers, and passes everything
// else through. Nothing it answers is ever written, so the stored settings stay as they
// are; the key even opens when it does not exist yet, so that the values are read.
// It also answers texts (REG_SZ of 40 bytes, as the saved device choice is kept): the
// device choice of an extra show of --monitors each, whose writes are dropped, so that
// the choice saved after its start never replaces the stored one.
// Depends on the registry port only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace nb {

class SettingsOverrideRegistry final : public Registry {
 public:
  // inner: the stored registry. settingsKey: the key below HKEY_CURRENT_USER whose values
  // are answered; overrides: the values to answer (names compare without regard to case);
  // texts: the 40-byte texts to answer (at most 39 characters), never written.
  SettingsOverrideRegistry(Registry& inner, std::string settingsKey,
                           std::map<std::string, uint32_t> overrides,
                           std::map<std::string, std::string> texts = {});
  SettingsOverrideRegistry(const SettingsOverrideRegistry&) = delete;
  SettingsOverrideRegistry& operator=(const SettingsOverrideRegistry&) = delete;

  int32_t RegOpenKeyExA(RegKey root, const char* subKey, uint32_t options, uint32_t access,
                        RegKey* out) override;
  int32_t RegCreateKeyExA(RegKey root, const char* subKey, uint32_t options, uint32_t access,
                          RegKey* out, uint32_t* disposition) override;
  int32_t RegQueryValueExA(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                           uint32_t* size) override;
  int32_t RegSetValueExA(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                         uint32_t size) override;
  int32_t RegCloseKey(RegKey key) override;

 private:
  struct OpenKey {
    RegKey inner{};    // the stored key; none for the stand-in of a missing settings key
    bool hasInner = false;
    bool settings = false;
  };
  bool IsSettingsKey(RegKey root, const char* subKey) const;
  const uint32_t* Override(const char* name) const;
  const std::string* Text(const char* name) const;
  RegKey Wrap(OpenKey key);

  Registry& inner_;
  std::string settingsPath_;  // as given, for creating the key
  std::string settingsKey_;   // folded, for comparing
  std::map<std::string, uint32_t> overrides_;  // lower-case names
  std::map<std::string, std::string> texts_;   // lower-case names
  std::map<uintptr_t, OpenKey> open_;
  uintptr_t nextHandle_ = 0x7000;
};

}  // namespace nb
