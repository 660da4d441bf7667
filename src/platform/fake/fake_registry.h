// Fake registry: keys and values in memory, each value with its type and exact bytes, key
// paths and value names compared without regard to case as on the platform.
// Depends on fake_world.h. Test support only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fake_world.h"
#include "platform/registry.h"

namespace nb::fake {

struct RegistryValue {
  uint32_t type = REG_NONE;
  std::vector<uint8_t> bytes;
};

class FakeRegistry final : public Registry {
 public:
  explicit FakeRegistry(FakeWorld& world) : world_(world) {}

  // ---- Test helpers (paths below HKEY_CURRENT_USER, '\' separated)
  bool KeyExists(const std::string& path) const;
  void CreateKey(const std::string& path);
  void SetValue(const std::string& path, const std::string& name, uint32_t type,
                std::vector<uint8_t> bytes);
  void SetDword(const std::string& path, const std::string& name, uint32_t value);
  // A REG_SZ of exactly size bytes: the text, a terminator and zero padding (size 0: just
  // the text and its terminator).
  void SetString(const std::string& path, const std::string& name, const std::string& text,
                 uint32_t size = 0);
  std::optional<RegistryValue> Value(const std::string& path, const std::string& name) const;
  std::optional<uint32_t> Dword(const std::string& path, const std::string& name) const;
  // A REG_SZ's text up to its first zero byte.
  std::optional<std::string> String(const std::string& path, const std::string& name) const;
  size_t ValueCount(const std::string& path) const;
  void DeleteKey(const std::string& path);
  size_t OpenKeyCount() const { return open_.size(); }

  // ---- Registry
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
  using Values = std::map<std::string, RegistryValue>;  // by lower-case name
  FakeWorld& world_;
  std::map<std::string, Values> keys_;  // by lower-case path
  std::map<uintptr_t, std::string> open_;
};

}  // namespace nb::fake
