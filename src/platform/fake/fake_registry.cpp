// Fake registry in memory with the platform's sizes and result codes.
#include "platform/fake/fake_registry.h"

#include <cctype>
#include <cstring>

namespace nb::fake {

namespace {
std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Normalises a key path: lower case, no empty parts. False for a malformed path.
bool Normalise(const char* path, std::string* out) {
  if (!path) return false;
  std::string result;
  std::string part;
  for (const char* p = path;; ++p) {
    if (*p == '\\' || *p == '\0') {
      if (!part.empty()) {
        if (!result.empty()) result += '\\';
        result += Lower(part);
      } else if (*p == '\\' && p == path) {
        return false;  // a leading separator is refused by the platform
      }
      part.clear();
      if (*p == '\0') break;
    } else {
      part += *p;
    }
  }
  *out = result;
  return true;
}

template <class Handle>
int64_t H(Handle handle) {
  return static_cast<int64_t>(static_cast<uintptr_t>(handle));
}
}  // namespace

bool FakeRegistry::KeyExists(const std::string& path) const {
  std::string key;
  return Normalise(path.c_str(), &key) && keys_.count(key) != 0;
}

void FakeRegistry::CreateKey(const std::string& path) {
  std::string key;
  if (!Normalise(path.c_str(), &key)) return;
  // Parents exist whenever a child does.
  for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1)) {
    keys_[key.substr(0, at)];
  }
  keys_[key];
}

void FakeRegistry::SetValue(const std::string& path, const std::string& name, uint32_t type,
                            std::vector<uint8_t> bytes) {
  CreateKey(path);
  std::string key;
  Normalise(path.c_str(), &key);
  keys_[key][Lower(name)] = RegistryValue{type, std::move(bytes)};
}

void FakeRegistry::SetDword(const std::string& path, const std::string& name, uint32_t value) {
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  SetValue(path, name, REG_DWORD, std::move(bytes));
}

void FakeRegistry::SetString(const std::string& path, const std::string& name, const std::string& text,
                             uint32_t size) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  if (size != 0) bytes.resize(size, 0);
  SetValue(path, name, REG_SZ, std::move(bytes));
}

std::optional<RegistryValue> FakeRegistry::Value(const std::string& path, const std::string& name) const {
  std::string key;
  if (!Normalise(path.c_str(), &key)) return std::nullopt;
  auto k = keys_.find(key);
  if (k == keys_.end()) return std::nullopt;
  auto v = k->second.find(Lower(name));
  if (v == k->second.end()) return std::nullopt;
  return v->second;
}

std::optional<uint32_t> FakeRegistry::Dword(const std::string& path, const std::string& name) const {
  auto value = Value(path, name);
  if (!value || value->type != REG_DWORD || value->bytes.size() != 4) return std::nullopt;
  uint32_t result;
  std::memcpy(&result, value->bytes.data(), 4);
  return result;
}

std::optional<std::string> FakeRegistry::String(const std::string& path, const std::string& name) const {
  auto value = Value(path, name);
  if (!value || value->type != REG_SZ) return std::nullopt;
  std::string text(value->bytes.begin(), value->bytes.end());
  return text.substr(0, text.find('\0'));
}

size_t FakeRegistry::ValueCount(const std::string& path) const {
  std::string key;
  if (!Normalise(path.c_str(), &key)) return 0;
  auto k = keys_.find(key);
  return k == keys_.end() ? 0 : k->second.size();
}

void FakeRegistry::DeleteKey(const std::string& path) {
  std::string key;
  if (!Normalise(path.c_str(), &key)) return;
  std::erase_if(keys_, [&](const auto& entry) {
    return entry.first == key || entry.first.rfind(key + "\\", 0) == 0;
  });
}

int32_t FakeRegistry::RegOpenKeyExA(RegKey root, const char* subKey, uint32_t options, uint32_t access,
                                    RegKey* out) {
  world_.Record("Registry::RegOpenKeyExA", {H(root), options, access}, {subKey ? subKey : ""});
  if (const int32_t failure = world_.Check("Registry::RegOpenKeyExA"); failure != 0) return failure;
  if (!out) return ERROR_INVALID_PARAMETER;
  if (root != HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
  std::string key;
  if (!Normalise(subKey, &key)) return ERROR_INVALID_PARAMETER;
  if (!key.empty() && !keys_.count(key)) return ERROR_FILE_NOT_FOUND;
  const RegKey handle{world_.NewHandle()};
  open_[static_cast<uintptr_t>(handle)] = key;
  *out = handle;
  return ERROR_SUCCESS;
}

int32_t FakeRegistry::RegCreateKeyExA(RegKey root, const char* subKey, uint32_t options, uint32_t access,
                                      RegKey* out, uint32_t* disposition) {
  world_.Record("Registry::RegCreateKeyExA", {H(root), options, access}, {subKey ? subKey : ""});
  if (const int32_t failure = world_.Check("Registry::RegCreateKeyExA"); failure != 0) return failure;
  if (!out) return ERROR_INVALID_PARAMETER;
  if (root != HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
  std::string key;
  if (!Normalise(subKey, &key)) return ERROR_INVALID_PARAMETER;
  const bool existed = key.empty() || keys_.count(key) != 0;
  if (!existed) CreateKey(key);
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  const RegKey handle{world_.NewHandle()};
  open_[static_cast<uintptr_t>(handle)] = key;
  *out = handle;
  return ERROR_SUCCESS;
}

int32_t FakeRegistry::RegQueryValueExA(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                       uint32_t* size) {
  world_.Record("Registry::RegQueryValueExA", {H(key), size ? int64_t{*size} : -1}, {name ? name : ""});
  if (const int32_t failure = world_.Check("Registry::RegQueryValueExA"); failure != 0) return failure;
  auto open = open_.find(static_cast<uintptr_t>(key));
  if (open == open_.end()) return ERROR_INVALID_HANDLE;
  if (data && !size) return ERROR_INVALID_PARAMETER;
  auto k = keys_.find(open->second);
  if (k == keys_.end()) return ERROR_FILE_NOT_FOUND;  // the key was deleted meanwhile
  auto v = k->second.find(Lower(name ? name : ""));
  if (v == k->second.end()) return ERROR_FILE_NOT_FOUND;
  const auto needed = static_cast<uint32_t>(v->second.bytes.size());
  if (type) *type = v->second.type;
  if (!data) {
    if (size) *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (needed) std::memcpy(data, v->second.bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

int32_t FakeRegistry::RegSetValueExA(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                                     uint32_t size) {
  world_.Record("Registry::RegSetValueExA", {H(key), type, size}, {name ? name : ""});
  if (const int32_t failure = world_.Check("Registry::RegSetValueExA"); failure != 0) return failure;
  auto open = open_.find(static_cast<uintptr_t>(key));
  if (open == open_.end()) return ERROR_INVALID_HANDLE;
  if (!data && size != 0) return ERROR_INVALID_PARAMETER;
  if (type == REG_DWORD && size != 4) return ERROR_INVALID_PARAMETER;
  auto k = keys_.find(open->second);
  if (k == keys_.end()) return ERROR_INVALID_HANDLE;  // the key was deleted meanwhile
  k->second[Lower(name ? name : "")] = RegistryValue{type, std::vector<uint8_t>(data, data + size)};
  return ERROR_SUCCESS;
}

int32_t FakeRegistry::RegCloseKey(RegKey key) {
  world_.Record("Registry::RegCloseKey", {H(key)});
  if (const int32_t failure = world_.Check("Registry::RegCloseKey"); failure != 0) return failure;
  return open_.erase(static_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace nb::fake
