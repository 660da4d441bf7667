// The key-file registry. Depends on key_file_registry.h and GLib (reading and writing files).
#include "platform/sdl/key_file_registry.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace nb {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// "a\b" lies below "a" (and below nothing else of those two).
bool Below(const std::string& path, const std::string& parent) {
  return path.size() > parent.size() && path[parent.size()] == '\\' &&
         SameName(path.substr(0, parent.size()), parent);
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

KeyFileRegistry::KeyFileRegistry(std::string path, std::FILE* warnings)
    : path_(std::move(path)), warnings_(warnings) {}

KeyFileRegistry::~KeyFileRegistry() { Flush(); }

std::string KeyFileRegistry::DefaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  // XDG rule: a relative XDG_CONFIG_HOME is invalid and ignored; only an absolute path counts.
  if (config && config[0] == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::string(home) + "/.config";
  } else {
    return std::string();
  }
  return base + "/nightbloom/registry.ini";
}

void KeyFileRegistry::Load() {
  if (loaded_) return;
  loaded_ = true;
  if (path_.empty()) {
    readOnly_ = true;
    if (warnings_) {
      std::fprintf(warnings_,
                   "nightbloom: neither XDG_CONFIG_HOME nor HOME is an absolute path, so there is "
                   "no settings file; the defaults are used and nothing will be saved\n");
    }
    return;
  }
  gchar* contents = nullptr;
  gsize length = 0;
  GError* error = nullptr;
  if (!g_file_get_contents(path_.c_str(), &contents, &length, &error)) {
    const bool missing = error && error->domain == G_FILE_ERROR && error->code == G_FILE_ERROR_NOENT;
    if (!missing) {
      readOnly_ = true;
      if (warnings_) {
        std::fprintf(warnings_,
                     "nightbloom: the settings file %s cannot be read (%s); the defaults are "
                     "used and nothing will be saved\n",
                     path_.c_str(), error ? error->message : "unknown error");
      }
    }
    g_clear_error(&error);
    return;
  }
  std::string why;
  const bool parsed = ParseRegistryText(std::string_view(contents, length), &data_, &why);
  g_free(contents);
  if (parsed) return;
  const std::string bad = path_ + ".bad";
  if (std::rename(path_.c_str(), bad.c_str()) == 0) {
    if (warnings_) {
      std::fprintf(warnings_,
                   "nightbloom: the settings file %s is damaged (%s); it was kept as %s and the "
                   "defaults are used\n",
                   path_.c_str(), why.c_str(), bad.c_str());
    }
  } else {
    // Without the copy aside, a save would overwrite the only one there is.
    readOnly_ = true;
    if (warnings_) {
      std::fprintf(warnings_,
                   "nightbloom: the settings file %s is damaged (%s) and cannot be moved to %s "
                   "(%s); the defaults are used and nothing will be saved\n",
                   path_.c_str(), why.c_str(), bad.c_str(), std::strerror(errno));
    }
  }
}

bool KeyFileRegistry::Flush() {
  if (!dirty_) return true;
  if (readOnly_) return false;
  const std::string directory = DirectoryOf(path_);
  if (g_mkdir_with_parents(directory.c_str(), 0700) != 0) {
    return SaveFailed(directory + ": " + std::strerror(errno));
  }
  const std::string text = RegistryToText(data_);
  // g_file_set_contents writes a new file beside the old one and renames it over it.
  GError* error = nullptr;
  if (!g_file_set_contents(path_.c_str(), text.data(), static_cast<gssize>(text.size()), &error)) {
    const std::string why = error ? error->message : "unknown error";
    g_clear_error(&error);
    return SaveFailed(why);
  }
  dirty_ = false;
  return true;
}

bool KeyFileRegistry::SaveFailed(const std::string& why) {
  // Said once: every later close of a key would only repeat it.
  if (warnings_ && !saveFailureShown_) {
    std::fprintf(warnings_, "nightbloom: the settings could not be saved to %s (%s)\n",
                 path_.c_str(), why.c_str());
  }
  saveFailureShown_ = true;
  return false;
}

bool KeyFileRegistry::Resolve(RegKey root, const char* subKey, std::string* path) const {
  if (root == HKEY_CURRENT_USER) {
    path->clear();
  } else {
    auto it = open_.find(static_cast<uintptr_t>(root));
    if (it == open_.end()) return false;
    *path = it->second;
  }
  const std::string sub = subKey ? subKey : "";
  size_t start = 0;
  while (start < sub.size()) {
    size_t end = sub.find('\\', start);
    if (end == std::string::npos) end = sub.size();
    const std::string part = sub.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    if (!IsStorableKeyPart(part)) return false;
    if (!path->empty()) *path += '\\';
    *path += part;
  }
  return true;
}

RegistryFileKey* KeyFileRegistry::FindKey(const std::string& path) {
  for (RegistryFileKey& key : data_.keys) {
    if (SameName(key.path, path)) return &key;
  }
  return nullptr;
}

bool KeyFileRegistry::KeyExists(const std::string& path) const {
  if (path.empty()) return true;
  for (const RegistryFileKey& key : data_.keys) {
    if (SameName(key.path, path) || Below(key.path, path)) return true;
  }
  return false;
}

int32_t KeyFileRegistry::RegOpenKeyExA(RegKey root, const char* subKey, uint32_t, uint32_t,
                                       RegKey* out) {
  if (!out) return ERROR_INVALID_PARAMETER;
  Load();
  std::string path;
  if (!Resolve(root, subKey, &path)) {
    return root == HKEY_CURRENT_USER || open_.count(static_cast<uintptr_t>(root))
               ? ERROR_FILE_NOT_FOUND
               : ERROR_INVALID_HANDLE;
  }
  if (!KeyExists(path)) return ERROR_FILE_NOT_FOUND;
  const uintptr_t handle = nextHandle_++;
  open_[handle] = path;
  *out = RegKey{handle};
  return ERROR_SUCCESS;
}

int32_t KeyFileRegistry::RegCreateKeyExA(RegKey root, const char* subKey, uint32_t, uint32_t,
                                         RegKey* out, uint32_t* disposition) {
  if (!out) return ERROR_INVALID_PARAMETER;
  Load();
  std::string path;
  if (root != HKEY_CURRENT_USER && !open_.count(static_cast<uintptr_t>(root))) {
    return ERROR_INVALID_HANDLE;
  }
  if (!Resolve(root, subKey, &path)) return ERROR_INVALID_PARAMETER;
  const bool existed = KeyExists(path);
  if (!path.empty() && !FindKey(path)) {
    data_.keys.push_back(RegistryFileKey{path, {}});
    dirty_ = true;
  }
  const uintptr_t handle = nextHandle_++;
  open_[handle] = path;
  *out = RegKey{handle};
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  return ERROR_SUCCESS;
}

int32_t KeyFileRegistry::RegQueryValueExA(RegKey key, const char* name, uint32_t* type,
                                          uint8_t* data, uint32_t* size) {
  auto it = open_.find(static_cast<uintptr_t>(key));
  if (it == open_.end()) return ERROR_INVALID_HANDLE;
  if (!size) return ERROR_INVALID_PARAMETER;
  RegistryFileKey* entry = FindKey(it->second);
  const std::string wanted = name ? name : "";
  const RegistryFileValue* found = nullptr;
  if (entry) {
    for (const RegistryFileValue& value : entry->values) {
      if (SameName(value.name, wanted)) found = &value;
    }
  }
  if (!found) return ERROR_FILE_NOT_FOUND;
  const auto bytes = static_cast<uint32_t>(found->data.size());
  if (type) *type = found->type;
  if (!data) {
    *size = bytes;
    return ERROR_SUCCESS;
  }
  if (*size < bytes) {
    *size = bytes;
    return ERROR_MORE_DATA;
  }
  if (bytes) std::memcpy(data, found->data.data(), bytes);
  *size = bytes;
  return ERROR_SUCCESS;
}

int32_t KeyFileRegistry::RegSetValueExA(RegKey key, const char* name, uint32_t type,
                                        const uint8_t* data, uint32_t size) {
  auto it = open_.find(static_cast<uintptr_t>(key));
  if (it == open_.end()) return ERROR_INVALID_HANDLE;
  const std::string valueName = name ? name : "";
  if (!IsStorableValueName(valueName) || (!data && size != 0) || size > maxRegistryValueBytes) {
    return ERROR_INVALID_PARAMETER;
  }
  if (readOnly_) return ERROR_ACCESS_DENIED;
  if (it->second.empty()) return ERROR_ACCESS_DENIED;  // nothing lives in the root itself
  RegistryFileKey* entry = FindKey(it->second);
  if (!entry) {
    data_.keys.push_back(RegistryFileKey{it->second, {}});
    entry = &data_.keys.back();
  }
  RegistryFileValue value;
  value.name = valueName;
  value.type = type;
  if (size) value.data.assign(data, data + size);
  bool replaced = false;
  for (RegistryFileValue& existing : entry->values) {
    if (SameName(existing.name, valueName)) {
      // The stored name keeps the spelling it was first written with, as the registry does.
      existing.type = type;
      existing.data = value.data;
      replaced = true;
    }
  }
  if (!replaced) entry->values.push_back(std::move(value));
  dirty_ = true;
  return ERROR_SUCCESS;
}

int32_t KeyFileRegistry::RegCloseKey(RegKey key) {
  if (open_.erase(static_cast<uintptr_t>(key)) == 0) return ERROR_INVALID_HANDLE;
  Flush();
  return ERROR_SUCCESS;
}

}  // namespace nb
