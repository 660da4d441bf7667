#include "platform/win32/win32_registry.h"

#include <windows.h>

namespace nb::win32 {

namespace {
HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(static_cast<uintptr_t>(key)); }
RegKey FromHkey(HKEY key) { return RegKey{reinterpret_cast<uintptr_t>(key)}; }
}  // namespace

int32_t Win32Registry::RegOpenKeyExA(RegKey root, const char* subKey, uint32_t options,
                                     uint32_t access, RegKey* out) {
  if (!out) return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  const LONG result = ::RegOpenKeyExA(ToHkey(root), subKey, options, access, &key);
  *out = result == ERROR_SUCCESS ? FromHkey(key) : RegKey{};
  return result;
}

int32_t Win32Registry::RegCreateKeyExA(RegKey root, const char* subKey, uint32_t options,
                                       uint32_t access, RegKey* out, uint32_t* disposition) {
  if (!out) return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  DWORD how = 0;
  const LONG result = ::RegCreateKeyExA(ToHkey(root), subKey, 0, nullptr, options, access, nullptr,
                                        &key, &how);
  *out = result == ERROR_SUCCESS ? FromHkey(key) : RegKey{};
  if (disposition && result == ERROR_SUCCESS) *disposition = how;
  return result;
}

int32_t Win32Registry::RegQueryValueExA(RegKey key, const char* name, uint32_t* type,
                                        uint8_t* data, uint32_t* size) {
  if (!size) return ERROR_INVALID_PARAMETER;
  DWORD kind = 0;
  DWORD bytes = *size;
  const LONG result = ::RegQueryValueExA(ToHkey(key), name, nullptr, &kind, data, &bytes);
  if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
    *size = bytes;
    if (type) *type = kind;
  }
  return result;
}

int32_t Win32Registry::RegSetValueExA(RegKey key, const char* name, uint32_t type,
                                      const uint8_t* data, uint32_t size) {
  return ::RegSetValueExA(ToHkey(key), name, 0, type, data, size);
}

int32_t Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

}  // namespace nb::win32
