// The registry port over advapi32's Reg*A calls of the current user's hive; results are
// the platform's own Win32 error codes.
// Depends on the registry port; the platform headers stay inside the source file.
#pragma once

#include "platform/registry.h"

namespace nb::win32 {

class Win32Registry final : public Registry {
 public:
  int32_t RegOpenKeyExA(RegKey root, const char* subKey, uint32_t options, uint32_t access,
                        RegKey* out) override;
  int32_t RegCreateKeyExA(RegKey root, const char* subKey, uint32_t options, uint32_t access,
                          RegKey* out, uint32_t* disposition) override;
  int32_t RegQueryValueExA(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                           uint32_t* size) override;
  int32_t RegSetValueExA(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                         uint32_t size) override;
  int32_t RegCloseKey(RegKey key) override;
};

}  // namespace nb::win32
