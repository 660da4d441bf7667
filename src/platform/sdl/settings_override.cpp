// The settings override. Depends on settings_override.h.
#include "platform/sdl/settings_override.h"

#include <cctype>
#include <cstring>

namespace nb {
namespace {

constexpr uint32_t textBytes = 40;

std::string Folded(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;  // no empty parts
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

}  // namespace

SettingsOverrideRegistry::SettingsOverrideRegistry(Registry& inner, std::string settingsKey,
                                                   std::map<std::string, uint32_t> overrides,
                                                   std::map<std::string, std::string> texts)
    : inner_(inner), settingsPath_(settingsKey), settingsKey_(Folded(settingsKey)) {
  for (const auto& [name, value] : overrides) overrides_[Folded(name)] = value;
  for (const auto& [name, value] : texts) texts_[Folded(name)] = value.substr(0, textBytes - 1);
}

bool SettingsOverrideRegistry::IsSettingsKey(RegKey root, const char* subKey) const {
  return root == HKEY_CURRENT_USER && Folded(subKey ? subKey : "") == settingsKey_;
}

const uint32_t* SettingsOverrideRegistry::Override(const char* name) const {
  auto it = overrides_.find(Folded(name ? name : ""));
  return it == overrides_.end() ? nullptr : &it->second;
}

const std::string* SettingsOverrideRegistry::Text(const char* name) const {
  auto it = texts_.find(Folded(name ? name : ""));
  return it == texts_.end() ? nullptr : &it->second;
}

RegKey SettingsOverrideRegistry::Wrap(OpenKey key) {
  const uintptr_t handle = nextHandle_++;
  open_[handle] = key;
  return RegKey{handle};
}

int32_t SettingsOverrideRegistry::RegOpenKeyExA(RegKey root, const char* subKey,
                                                uint32_t options, uint32_t access,
                                                RegKey* out) {
  if (!out) return ERROR_INVALID_PARAMETER;
  RegKey innerRoot = root;
  if (root != HKEY_CURRENT_USER) {
    auto it = open_.find(static_cast<uintptr_t>(root));
    if (it == open_.end() || !it->second.hasInner) return ERROR_INVALID_HANDLE;
    innerRoot = it->second.inner;
  }
  const bool settings = IsSettingsKey(root, subKey);
  RegKey key{};
  const int32_t result = inner_.RegOpenKeyExA(innerRoot, subKey, options, access, &key);
  if (result == ERROR_SUCCESS) {
    *out = Wrap(OpenKey{key, true, settings});
    return ERROR_SUCCESS;
  }
  if (settings && (!overrides_.empty() || !texts_.empty()) && result == ERROR_FILE_NOT_FOUND) {
    *out = Wrap(OpenKey{RegKey{}, false, true});
    return ERROR_SUCCESS;
  }
  return result;
}

int32_t SettingsOverrideRegistry::RegCreateKeyExA(RegKey root, const char* subKey,
                                                  uint32_t options, uint32_t access,
                                                  RegKey* out, uint32_t* disposition) {
  if (!out) return ERROR_INVALID_PARAMETER;
  RegKey innerRoot = root;
  if (root != HKEY_CURRENT_USER) {
    auto it = open_.find(static_cast<uintptr_t>(root));
    if (it == open_.end() || !it->second.hasInner) return ERROR_INVALID_HANDLE;
    innerRoot = it->second.inner;
  }
  RegKey key{};
  const int32_t result =
      inner_.RegCreateKeyExA(innerRoot, subKey, options, access, &key, disposition);
  if (result != ERROR_SUCCESS) return result;
  *out = Wrap(OpenKey{key, true, IsSettingsKey(root, subKey)});
  return ERROR_SUCCESS;
}

int32_t SettingsOverrideRegistry::RegQueryValueExA(RegKey key, const char* name, uint32_t* type,
                                                   uint8_t* data, uint32_t* size) {
  auto it = open_.find(static_cast<uintptr_t>(key));
  if (it == open_.end()) return ERROR_INVALID_HANDLE;
  const OpenKey& open = it->second;
  if (open.settings) {
    if (const uint32_t* value = Override(name)) {
      if (!size) return ERROR_INVALID_PARAMETER;
      if (type) *type = REG_DWORD;
      if (data && *size < 4) {
        *size = 4;
        return ERROR_MORE_DATA;
      }
      if (data) std::memcpy(data, value, 4);
      *size = 4;
      return ERROR_SUCCESS;
    }
    if (const std::string* text = Text(name)) {
      if (!size) return ERROR_INVALID_PARAMETER;
      if (type) *type = REG_SZ;
      if (data && *size < textBytes) {
        *size = textBytes;
        return ERROR_MORE_DATA;
      }
      if (data) {
        std::memset(data, 0, textBytes);
        std::memcpy(data, text->data(), text->size());
      }
      *size = textBytes;
      return ERROR_SUCCESS;
    }
  }
  if (!open.hasInner) return size ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_PARAMETER;
  return inner_.RegQueryValueExA(open.inner, name, type, data, size);
}

int32_t SettingsOverrideRegistry::RegSetValueExA(RegKey key, const char* name, uint32_t type,
                                                 const uint8_t* data, uint32_t size) {
  auto it = open_.find(static_cast<uintptr_t>(key));
  if (it == open_.end()) return ERROR_INVALID_HANDLE;
  OpenKey& open = it->second;
  if (open.settings && Text(name)) return ERROR_SUCCESS;
  if (!open.hasInner) {
    // The stand-in of a missing key: writing makes the key for real.
    const int32_t created = inner_.RegCreateKeyExA(HKEY_CURRENT_USER, settingsPath_.c_str(), 0,
                                                   KEY_ALL_ACCESS, &open.inner, nullptr);
    if (created != ERROR_SUCCESS) return created;
    open.hasInner = true;
  }
  return inner_.RegSetValueExA(open.inner, name, type, data, size);
}

int32_t SettingsOverrideRegistry::RegCloseKey(RegKey key) {
  auto it = open_.find(static_cast<uintptr_t>(key));
  if (it == open_.end()) return ERROR_INVALID_HANDLE;
  const OpenKey open = it->second;
  open_.erase(it);
  return open.hasInner ? inner_.RegCloseKey(open.inner) : ERROR_SUCCESS;
}

}  // namespace nb
