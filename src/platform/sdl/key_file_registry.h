// The registry of the Linux program: HKEY_CURRENT_USER kept in one key file,
// $XDG_CONFIG_HOME/nightbloom/registry.ini (~/.config when the variable is not set).
// Keys and values are found by name without regard to case, as the registry finds them;
// types and byte sizes are kept exactly. The file is read at the first call and written
// whole, atomically (a new file, with the old one's permissions, renamed over it), when a
// key that was changed is closed; a symbolic link is written through, to its target.
// Temporary files that saves of processes now gone left behind are removed at the first
// call. A damaged file reads as no values: it is moved aside as registry.ini.bad (.bad.2,
// .bad.3, ... when that one is taken) and a warning goes to the error stream, so the next
// save writes a valid file and no damaged one is lost. A file that cannot be read at all
// (a folder or a FIFO in its place included) is never overwritten.
// Depends on the registry port, registry_text.h, POSIX file calls and GLib in the .cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "platform/registry.h"
#include "platform/sdl/registry_text.h"

namespace nb {

class KeyFileRegistry final : public Registry {
 public:
  // path: the file; warnings: where the damaged-file warning goes (stderr in the program).
  KeyFileRegistry(std::string path, std::FILE* warnings);
  ~KeyFileRegistry();
  KeyFileRegistry(const KeyFileRegistry&) = delete;
  KeyFileRegistry& operator=(const KeyFileRegistry&) = delete;

  // The file of the current user: $XDG_CONFIG_HOME/nightbloom/registry.ini, or
  // $HOME/.config/nightbloom/registry.ini. Empty when neither variable is set.
  static std::string DefaultPath();

  // Writes pending changes now. False when the file could not be written (said once on the
  // warning stream) or may not be.
  bool Flush();
  // Called with the file and a short reason ("No space left on device") when a key is
  // closed whose changes could not be stored (for a program that must tell its user where
  // the user looks).
  void SetSaveFailureListener(
      std::function<void(const std::string& path, const std::string& why)> listener) {
    saveFailureListener_ = std::move(listener);
  }
  // Whether any save failed so far.
  bool saveFailed() const { return saveFailed_; }

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
  void Load();
  void Refuse(std::string why);  // nothing may be written, and why
  bool SaveFailed(const std::string& why);  // says why once; false
  // The full path of subKey below root (HKEY_CURRENT_USER or an open key); false for a
  // bad root or a name that cannot be stored.
  bool Resolve(RegKey root, const char* subKey, std::string* path) const;
  RegistryFileKey* FindKey(const std::string& path);
  bool KeyExists(const std::string& path) const;

  std::string path_;
  std::FILE* warnings_;
  bool loaded_ = false;
  bool readOnly_ = false;  // no path, or the file exists but could not be read or moved aside
  std::string readOnlyWhy_;
  bool saveFailureShown_ = false;
  bool saveFailed_ = false;
  std::string unsaved_;  // why changes since the last close of a key were lost
  std::function<void(const std::string&, const std::string&)> saveFailureListener_;
  bool dirty_ = false;
  RegistryFileData data_;
  std::map<uintptr_t, std::string> open_;  // open keys and their paths
  uintptr_t nextHandle_ = 0x100;
};

}  // namespace nb
