// The key-file registry. Depends on key_file_registry.h, POSIX file calls and GLib (making
// the folder).
#include "platform/sdl/key_file_registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
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
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path ends at, following symbolic links (the link's target need not exist):
// people who keep their settings in a repository of dotfiles link them, and a save must
// write where the link points rather than replace the link.
std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char target[PATH_MAX];
    const ssize_t length = readlink(current.c_str(), target, sizeof(target) - 1);
    if (length <= 0) return current;
    const std::string text(target, static_cast<size_t>(length));
    current = text[0] == '/' ? text : DirectoryOf(current) + "/" + text;
  }
  return current;  // a loop: writing there fails, and says so
}

// Temporary files of saves: "<name>.tmp-<process>-<n>" beside the file. One whose process
// is gone was left by a save that never finished.
std::string TemporaryName(const std::string& target, unsigned attempt) {
  return target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
}

void RemoveStaleTemporaries(const std::string& target) {
  const std::string prefix = NameOf(target) + ".tmp-";
  DIR* directory = opendir(DirectoryOf(target).c_str());
  if (!directory) return;
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const char* digits = name.c_str() + prefix.size();
    char* end = nullptr;
    const long owner = std::strtol(digits, &end, 10);
    if (end == digits || *end != '-' || owner <= 0) continue;
    if (kill(static_cast<pid_t>(owner), 0) == 0 || errno != ESRCH) continue;
    unlinkat(dirfd(directory), name.c_str(), 0);
  }
  closedir(directory);
}

// Moves path to the first free name of path.bad, path.bad.2, path.bad.3, ...: a backup
// already there is kept. 0 or an errno value; *moved gets the name.
int MoveAside(const std::string& path, std::string* moved) {
  for (unsigned copy = 1; copy <= 1000; ++copy) {
    *moved = path + ".bad";
    if (copy > 1) moved->append(".").append(std::to_string(copy));
    if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, moved->c_str(), RENAME_NOREPLACE) == 0) {
      return 0;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system that cannot refuse to replace: look first, then move.
    struct stat info {};
    if (lstat(moved->c_str(), &info) == 0) continue;
    return std::rename(path.c_str(), moved->c_str()) == 0 ? 0 : errno;
  }
  return EEXIST;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// Larger than any settings the program writes by far; a bigger file is not one of them.
constexpr off_t largestFile = 1 << 20;

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

void KeyFileRegistry::Refuse(std::string why) {
  readOnly_ = true;
  readOnlyWhy_ = std::move(why);
}

void KeyFileRegistry::Load() {
  if (loaded_) return;
  loaded_ = true;
  if (path_.empty()) {
    Refuse("neither XDG_CONFIG_HOME nor HOME is an absolute path");
    if (warnings_) {
      std::fprintf(warnings_,
                   "nightbloom: neither XDG_CONFIG_HOME nor HOME is an absolute path, so there is "
                   "no settings file; the defaults are used and nothing will be saved\n");
    }
    return;
  }
  RemoveStaleTemporaries(FollowLinks(path_));
  std::string contents;
  std::string unreadable;
  // Not blocking: a FIFO in the file's place would wait for a writer that never comes.
  const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return;  // nothing saved yet
    unreadable = std::strerror(errno);
  } else {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
      unreadable = std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
      unreadable = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
    } else if (info.st_size > largestFile) {
      contents.assign(static_cast<size_t>(largestFile) + 1, '\0');  // damaged, below
    } else {
      char buffer[4096];
      for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) unreadable = std::strerror(errno);
        if (got <= 0) break;
        contents.append(buffer, static_cast<size_t>(got));
        if (contents.size() > static_cast<size_t>(largestFile)) break;
      }
    }
    close(fd);
  }
  if (!unreadable.empty()) {
    Refuse("the file there cannot be read: " + unreadable);
    if (warnings_) {
      std::fprintf(warnings_,
                   "nightbloom: the settings file %s cannot be read (%s); the defaults are "
                   "used and nothing will be saved\n",
                   path_.c_str(), unreadable.c_str());
    }
    return;
  }
  std::string why;
  if (contents.size() > static_cast<size_t>(largestFile)) {
    why = "larger than any settings file";
  } else if (ParseRegistryText(contents, &data_, &why)) {
    return;
  }
  data_ = RegistryFileData{};
  std::string bad;
  const int moveError = MoveAside(path_, &bad);
  if (moveError == 0) {
    if (warnings_) {
      std::fprintf(warnings_,
                   "nightbloom: the settings file %s is damaged (%s); it was kept as %s and the "
                   "defaults are used\n",
                   path_.c_str(), why.c_str(), bad.c_str());
    }
  } else {
    // Without the copy aside, a save would overwrite the only one there is.
    Refuse("the file there is damaged and cannot be moved aside");
    if (warnings_) {
      std::fprintf(warnings_,
                   "nightbloom: the settings file %s is damaged (%s) and cannot be moved to %s "
                   "(%s); the defaults are used and nothing will be saved\n",
                   path_.c_str(), why.c_str(), bad.c_str(), std::strerror(moveError));
    }
  }
}

bool KeyFileRegistry::Flush() {
  if (!dirty_) return true;
  if (readOnly_) return false;
  const std::string target = FollowLinks(path_);
  const std::string directory = DirectoryOf(target);
  if (g_mkdir_with_parents(directory.c_str(), 0700) != 0) {
    return SaveFailed(directory + ": " + std::strerror(errno));
  }
  // A new file beside the old one, renamed over it once it is whole on the disk: whatever
  // ends the program meanwhile (a signal, a full disk, another program saving at the same
  // moment), the file is the old one or the new one, never a part of either.
  struct stat old {};
  const bool replacing = stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  std::string temporary;
  int fd = -1;
  for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = TemporaryName(target, attempt);
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return SaveFailed(std::strerror(errno));
  const std::string text = RegistryToText(data_);
  int error = 0;
  // The file keeps the permissions it had (new ones get the process's usual ones).
  if (replacing && fchmod(fd, old.st_mode & 07777) != 0) error = errno;
  if (!error && !WriteAll(fd, text)) error = errno ? errno : EIO;
  if (!error && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && !error) error = errno;
  if (!error && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error) {
    unlink(temporary.c_str());
    return SaveFailed(std::strerror(error));
  }
  if (const int folder = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); folder >= 0) {
    fsync(folder);  // the rename itself on the disk
    close(folder);
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
  saveFailed_ = true;
  unsaved_ = why;
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
  if (it->second.empty()) return ERROR_ACCESS_DENIED;  // nothing lives in the root itself
  if (readOnly_) {
    unsaved_ = readOnlyWhy_;
    return ERROR_ACCESS_DENIED;
  }
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
  if (unsaved_.empty()) return ERROR_SUCCESS;
  // Changes made through this key are lost: whoever made them is told, once.
  const std::string why = std::move(unsaved_);
  unsaved_.clear();
  if (saveFailureListener_) saveFailureListener_(path_, why);
  return ERROR_WRITE_FAULT;
}

}  // namespace nb
