// The registry port: keys and typed values under HKEY_CURRENT_USER, with the platform's
// Win32 error codes (not HRESULTs) as results. Depends on <cstdint>; no platform headers.
#pragma once

#include <cstdint>

namespace nb {

enum class RegKey : uintptr_t {};
// Sign-extended from 32 bits, as the platform's 64-bit headers define it.
inline constexpr RegKey HKEY_CURRENT_USER{static_cast<uintptr_t>(static_cast<intptr_t>(INT32_C(-2147483647)))};

inline constexpr int32_t ERROR_SUCCESS = 0;
inline constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr int32_t ERROR_OUTOFMEMORY = 14;
inline constexpr int32_t ERROR_WRITE_FAULT = 29;
inline constexpr int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr int32_t ERROR_MORE_DATA = 234;

inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

inline constexpr uint32_t REG_OPTION_NON_VOLATILE = 0;
inline constexpr uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

inline constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr uint32_t KEY_READ = 0x20019;
inline constexpr uint32_t KEY_WRITE = 0x20006;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

class Registry {
 public:
  // Opens an existing key below root (subKey with '\' separators). ERROR_SUCCESS with the
  // key in *out; ERROR_FILE_NOT_FOUND when it does not exist (nothing is created);
  // ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE (bad root).
  virtual int32_t RegOpenKeyExA(RegKey root, const char* subKey, uint32_t options,
                                uint32_t access, RegKey* out) = 0;
  // Opens the key, creating it and any missing parents first. *disposition (may be null)
  // gets REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. ERROR_SUCCESS,
  // ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE.
  virtual int32_t RegCreateKeyExA(RegKey root, const char* subKey, uint32_t options,
                                  uint32_t access, RegKey* out, uint32_t* disposition) = 0;
  // Reads a value's type (into *type, may be null) and bytes exactly as stored. *size is
  // the buffer's size in and the value's byte count out. data null: only the size is
  // reported. ERROR_SUCCESS; ERROR_FILE_NOT_FOUND (no such value); ERROR_MORE_DATA when
  // the buffer is too small (*size then holds the needed size, the buffer is untouched);
  // ERROR_INVALID_HANDLE; ERROR_INVALID_PARAMETER (null size).
  virtual int32_t RegQueryValueExA(RegKey key, const char* name, uint32_t* type,
                                   uint8_t* data, uint32_t* size) = 0;
  // Stores size bytes of data as a value of type REG_DWORD, REG_SZ (the bytes as given,
  // terminator and padding included), ... replacing any value of that name.
  // ERROR_SUCCESS, ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER.
  virtual int32_t RegSetValueExA(RegKey key, const char* name, uint32_t type,
                                 const uint8_t* data, uint32_t size) = 0;
  // Closes a key from RegOpenKeyExA / RegCreateKeyExA. ERROR_SUCCESS, ERROR_INVALID_HANDLE;
  // ERROR_WRITE_FAULT when changes could not be stored (the key is closed all the same).
  virtual int32_t RegCloseKey(RegKey key) = 0;

 protected:
  ~Registry() = default;
};

}  // namespace nb
