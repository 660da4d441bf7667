// The key-file registry on a real file: what is written is read back by a new instance
// with exact types and sizes, names match without regard to case, writing is atomic (two
// processes saving at once leave one whole file; a save cut short leaves a temporary file
// that the next start removes), through a symbolic link and with the file's permissions
// kept; a damaged file reads as no values, is kept as .bad (each one) with a warning and is
// replaced by a valid file at the next save; a file that cannot be read (a folder, a FIFO)
// is never overwritten, and a save that fails is reported as failed.
#include "platform/sdl/key_file_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
constexpr const char* kKey = "Software\\Lumenfold Software\\Nightbloom";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class KeyFileRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nb-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    file_ = dir_ / "nightbloom" / "registry.ini";
    warnings_ = std::tmpfile();
  }
  void TearDown() override {
    std::fclose(warnings_);
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, ignored);
    fs::remove_all(dir_, ignored);
  }
  std::string Warnings() {
    std::fflush(warnings_);
    std::rewind(warnings_);
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof(buffer), warnings_)) text += buffer;
    return text;
  }

  fs::path dir_;
  fs::path file_;
  std::FILE* warnings_ = nullptr;
};

TEST_F(KeyFileRegistryTest, NothingStoredKeyMissingAndNoFileMade) {
  nb::KeyFileRegistry registry(file_.string(), warnings_);
  nb::RegKey key{};
  EXPECT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(fs::exists(file_));
  EXPECT_TRUE(Warnings().empty());
}

TEST_F(KeyFileRegistryTest, WrittenValuesComeBackExactlyInANewProcess) {
  {
    nb::KeyFileRegistry registry(file_.string(), warnings_);
    nb::RegKey key{};
    uint32_t disposition = 0;
    ASSERT_EQ(registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key,
                                       &disposition),
              nb::ERROR_SUCCESS);
    EXPECT_EQ(disposition, nb::REG_CREATED_NEW_KEY);
    const uint32_t level = 1;
    ASSERT_EQ(registry.RegSetValueExA(key, "F", nb::REG_DWORD,
                                      reinterpret_cast<const uint8_t*>(&level), 4),
              nb::ERROR_SUCCESS);
    char field[40] = "640 x 480 x 16";
    ASSERT_EQ(registry.RegSetValueExA(key, "D", nb::REG_SZ, reinterpret_cast<uint8_t*>(field), 40),
              nb::ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(file_)) << "written when the key is closed";
    ASSERT_EQ(registry.RegCloseKey(key), nb::ERROR_SUCCESS);
    EXPECT_TRUE(fs::exists(file_));
  }
  // Only the file itself: no temporary file left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(file_.parent_path()), fs::directory_iterator()), 1);
  EXPECT_EQ((fs::status(file_.parent_path()).permissions() & fs::perms::all), fs::perms::owner_all);

  nb::KeyFileRegistry again(file_.string(), warnings_);
  nb::RegKey key{};
  ASSERT_EQ(again.RegOpenKeyExA(nb::HKEY_CURRENT_USER, "software\\LUMENFOLD software\\nightbloom", 0,
                                nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_SUCCESS);
  uint32_t type = 0;
  uint32_t size = 0;
  ASSERT_EQ(again.RegQueryValueExA(key, "d", &type, nullptr, &size), nb::ERROR_SUCCESS);
  EXPECT_EQ(type, nb::REG_SZ);
  EXPECT_EQ(size, 40u);  // terminator and padding kept
  uint8_t field[40];
  size = 39;
  EXPECT_EQ(again.RegQueryValueExA(key, "D", &type, field, &size), nb::ERROR_MORE_DATA);
  EXPECT_EQ(size, 40u);
  size = 40;
  ASSERT_EQ(again.RegQueryValueExA(key, "D", &type, field, &size), nb::ERROR_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<char*>(field), "640 x 480 x 16");
  uint32_t level = 0;
  size = 4;
  ASSERT_EQ(again.RegQueryValueExA(key, "F", &type, reinterpret_cast<uint8_t*>(&level), &size),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(type, nb::REG_DWORD);
  EXPECT_EQ(level, 1u);
  EXPECT_EQ(again.RegQueryValueExA(key, "E", &type, reinterpret_cast<uint8_t*>(&level), &size),
            nb::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(again.RegCloseKey(key), nb::ERROR_SUCCESS);
  EXPECT_EQ(again.RegCloseKey(key), nb::ERROR_INVALID_HANDLE);
}

TEST_F(KeyFileRegistryTest, KeysBelowOpenKeysAndParentsOfStoredKeys) {
  nb::KeyFileRegistry registry(file_.string(), warnings_);
  nb::RegKey software{};
  ASSERT_EQ(registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, "Software", 0, nb::KEY_ALL_ACCESS,
                                     &software, nullptr),
            nb::ERROR_SUCCESS);
  nb::RegKey nested{};
  uint32_t disposition = 0;
  ASSERT_EQ(registry.RegCreateKeyExA(software, "Lumenfold Software\\Nightbloom", 0,
                                     nb::KEY_ALL_ACCESS, &nested, &disposition),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(disposition, nb::REG_CREATED_NEW_KEY);
  registry.RegCloseKey(nested);
  nb::RegKey parent{};
  EXPECT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, "Software\\Lumenfold Software", 0,
                                   nb::KEY_ALL_ACCESS, &parent),
            nb::ERROR_SUCCESS);
  registry.RegCloseKey(parent);
  EXPECT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, "Software\\Lumenfold", 0,
                                   nb::KEY_ALL_ACCESS, &parent),
            nb::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(registry.RegOpenKeyExA(nb::RegKey{0x999}, "x", 0, nb::KEY_ALL_ACCESS, &parent),
            nb::ERROR_INVALID_HANDLE);
  // Names the file cannot hold are refused, not mangled.
  EXPECT_EQ(registry.RegSetValueExA(software, "a=b", nb::REG_DWORD, nullptr, 0),
            nb::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(registry.RegSetValueExA(software, "x", nb::REG_BINARY, nullptr, 3),
            nb::ERROR_INVALID_PARAMETER);
  registry.RegCloseKey(software);
}

TEST_F(KeyFileRegistryTest, ReplacingAValueKeepsItsFirstSpelling) {
  nb::KeyFileRegistry registry(file_.string(), warnings_);
  nb::RegKey key{};
  registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key, nullptr);
  const uint32_t one = 1;
  const uint8_t two[2] = {2, 2};
  registry.RegSetValueExA(key, "Name", nb::REG_DWORD, reinterpret_cast<const uint8_t*>(&one), 4);
  registry.RegSetValueExA(key, "NAME", nb::REG_BINARY, two, 2);
  registry.RegCloseKey(key);
  const std::string text = ReadFile(file_);
  EXPECT_NE(text.find("Name=hex(3):02,02"), std::string::npos) << text;
  EXPECT_EQ(text.find("NAME"), std::string::npos);
}

TEST_F(KeyFileRegistryTest, DamagedFileIsKeptAsBadAndReplacedAtTheNextSave) {
  const std::string damaged =
      "[HKEY_CURRENT_USER\\Software\\Lumenfold Software\\Nightbloom]\nF=dword:00000000\nG=oops\n";
  WriteFile(file_, damaged);
  nb::KeyFileRegistry registry(file_.string(), warnings_);
  nb::RegKey key{};
  // No values at all, not even the readable ones before the damage.
  EXPECT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_FILE_NOT_FOUND);
  const fs::path bad = file_.string() + ".bad";
  EXPECT_EQ(ReadFile(bad), damaged);
  EXPECT_FALSE(fs::exists(file_));
  const std::string warnings = Warnings();
  EXPECT_NE(warnings.find("damaged"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find(bad.string()), std::string::npos) << warnings;

  ASSERT_EQ(registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key, nullptr),
            nb::ERROR_SUCCESS);
  const uint32_t level = 2;
  registry.RegSetValueExA(key, "G", nb::REG_DWORD, reinterpret_cast<const uint8_t*>(&level), 4);
  registry.RegCloseKey(key);
  nb::RegistryFileData data;
  std::string error;
  ASSERT_TRUE(nb::ParseRegistryText(ReadFile(file_), &data, &error)) << error;
  ASSERT_EQ(data.keys.size(), 1u);
  EXPECT_EQ(data.keys[0].values.size(), 1u);
  EXPECT_EQ(ReadFile(bad), damaged);  // the damaged original is still there
}

TEST_F(KeyFileRegistryTest, UnreadableFileIsNeverOverwritten) {
  if (geteuid() == 0) {
    // Root reads any file whatever its mode; a directory in the file's place stands in.
    fs::create_directories(file_);
  } else {
    WriteFile(file_, "[HKEY_CURRENT_USER\\A]\n");
    fs::permissions(file_, fs::perms::none);
  }
  {
    nb::KeyFileRegistry registry(file_.string(), warnings_);
    nb::RegKey key{};
    ASSERT_EQ(registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key,
                                       nullptr),
              nb::ERROR_SUCCESS);
    const uint32_t level = 2;
    EXPECT_EQ(registry.RegSetValueExA(key, "G", nb::REG_DWORD,
                                      reinterpret_cast<const uint8_t*>(&level), 4),
              nb::ERROR_ACCESS_DENIED);
    registry.RegCloseKey(key);
    EXPECT_FALSE(registry.Flush());
  }
  EXPECT_NE(Warnings().find("cannot be read"), std::string::npos);
  EXPECT_FALSE(fs::exists(file_.string() + ".bad"));
  if (geteuid() != 0) {
    fs::permissions(file_, fs::perms::owner_read);
    EXPECT_EQ(ReadFile(file_), "[HKEY_CURRENT_USER\\A]\n");
  } else {
    EXPECT_TRUE(fs::is_directory(file_));
  }
}

TEST_F(KeyFileRegistryTest, SettingsThatCannotBeSavedAreReportedOnce) {
  // No file yet, and a folder no one (root included) can make: /proc takes no new folders.
  {
    nb::KeyFileRegistry registry("/proc/nightbloom-test/nightbloom/registry.ini", warnings_);
    const uint32_t level = 2;
    for (int run = 0; run < 2; ++run) {
      nb::RegKey key{};
      ASSERT_EQ(registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key,
                                         nullptr),
                nb::ERROR_SUCCESS);
      EXPECT_EQ(registry.RegSetValueExA(key, "G", nb::REG_DWORD,
                                        reinterpret_cast<const uint8_t*>(&level), 4),
                nb::ERROR_SUCCESS);
      registry.RegCloseKey(key);
    }
    EXPECT_FALSE(registry.Flush());
  }
  const std::string warnings = Warnings();
  const size_t first = warnings.find("could not be saved to");
  ASSERT_NE(first, std::string::npos) << warnings;
  EXPECT_EQ(warnings.find("could not be saved to", first + 1), std::string::npos) << warnings;

  // No file at all (no usable home): said once at the first use, and nothing is stored.
  std::FILE* second = std::tmpfile();
  {
    nb::KeyFileRegistry registry("", second);
    nb::RegKey key{};
    EXPECT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
              nb::ERROR_FILE_NOT_FOUND);
  }
  std::rewind(second);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof(line), second), nullptr);
  EXPECT_NE(std::string(line).find("nothing will be saved"), std::string::npos) << line;
  std::fclose(second);
}

// Saves one DWORD value "F" = level through a fresh registry on path; what RegCloseKey says.
int32_t SaveLevel(const std::string& path, uint32_t level, std::FILE* warnings) {
  nb::KeyFileRegistry registry(path, warnings);
  nb::RegKey key{};
  if (registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key,
                               nullptr) != nb::ERROR_SUCCESS) {
    return -1;
  }
  registry.RegSetValueExA(key, "F", nb::REG_DWORD, reinterpret_cast<const uint8_t*>(&level), 4);
  return registry.RegCloseKey(key);
}

// The file SaveLevel writes.
std::string LevelText(uint32_t level) {
  nb::RegistryFileValue value;
  value.name = "F";
  value.type = nb::REG_DWORD;
  value.data.assign(reinterpret_cast<const uint8_t*>(&level), reinterpret_cast<const uint8_t*>(&level) + 4);
  nb::RegistryFileData data;
  data.keys.push_back(nb::RegistryFileKey{kKey, {value}});
  return nb::RegistryToText(data);
}

TEST_F(KeyFileRegistryTest, ALinkedFileIsWrittenThroughAndKeepsItsPermissions) {
  // Settings kept in a repository of dotfiles, linked into place with a relative link.
  const fs::path dotfiles = dir_ / "dotfiles";
  const fs::path target = dotfiles / "nightbloom.ini";
  WriteFile(target, LevelText(1));
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_directories(file_.parent_path());
  fs::create_symlink("../dotfiles/nightbloom.ini", file_);
  ASSERT_EQ(SaveLevel(file_.string(), 2, warnings_), nb::ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_EQ(ReadFile(target), LevelText(2));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dotfiles), fs::directory_iterator()), 1);
  // A link whose file is not there yet: the file is made where it points.
  fs::remove(target);
  ASSERT_EQ(SaveLevel(file_.string(), 0, warnings_), nb::ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_EQ(ReadFile(target), LevelText(0));
  EXPECT_TRUE(Warnings().empty()) << Warnings();
}

TEST_F(KeyFileRegistryTest, AFolderOrAFifoInTheFilesPlaceIsLeftAloneAtOnce) {
  for (const bool fifo : {false, true}) {
    SCOPED_TRACE(fifo ? "FIFO" : "folder");
    fs::remove_all(file_);
    fs::create_directories(file_.parent_path());
    if (fifo) {
      ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
    } else {
      fs::create_directories(file_);
    }
    // Reading a FIFO would wait for a writer that never comes: this returns at once.
    EXPECT_EQ(SaveLevel(file_.string(), 1, warnings_), nb::ERROR_WRITE_FAULT);
    EXPECT_EQ(fifo ? fs::is_fifo(file_) : fs::is_directory(file_), true);
    EXPECT_FALSE(fs::exists(file_.string() + ".bad"));
  }
  EXPECT_NE(Warnings().find("not a regular file"), std::string::npos) << Warnings();
  EXPECT_NE(Warnings().find("it is a folder"), std::string::npos) << Warnings();
}

TEST_F(KeyFileRegistryTest, EveryDamagedFileKeepsItsOwnBackup) {
  for (int damage = 1; damage <= 3; ++damage) {
    WriteFile(file_, "damage " + std::to_string(damage) + "\n");
    nb::KeyFileRegistry registry(file_.string(), warnings_);
    nb::RegKey key{};
    EXPECT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
              nb::ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(ReadFile(file_.string() + ".bad"), "damage 1\n");
  EXPECT_EQ(ReadFile(file_.string() + ".bad.2"), "damage 2\n");
  EXPECT_EQ(ReadFile(file_.string() + ".bad.3"), "damage 3\n");
  EXPECT_NE(Warnings().find("kept as " + file_.string() + ".bad.3"), std::string::npos);
}

TEST_F(KeyFileRegistryTest, TemporariesOfSavesThatNeverEndedGoAtTheNextStart) {
  WriteFile(file_, LevelText(1));
  // A save cut short in a process that is gone, and one of a process still running.
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  const fs::path stale = file_.string() + ".tmp-" + std::to_string(gone) + "-0";
  const fs::path running = file_.string() + ".tmp-" + std::to_string(getppid()) + "-0";
  const fs::path other = file_.string() + ".tmp-notes";
  WriteFile(stale, "[HKEY_CURRENT_USER\\Soft");
  WriteFile(running, "[HKEY_CURRENT_USER\\Soft");
  WriteFile(other, "mine");
  nb::KeyFileRegistry registry(file_.string(), warnings_);
  nb::RegKey key{};
  ASSERT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_SUCCESS);
  registry.RegCloseKey(key);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(running));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(ReadFile(file_), LevelText(1));
}

TEST_F(KeyFileRegistryTest, ASaveThatFailsIsNotReportedAsDone) {
  nb::KeyFileRegistry registry("/proc/nightbloom-test/nightbloom/registry.ini", warnings_);
  std::vector<std::string> told;
  registry.SetSaveFailureListener(
      [&](const std::string& path, const std::string& why) { told.push_back(path + ": " + why); });
  nb::RegKey key{};
  // Reading loses nothing: nobody is told.
  EXPECT_EQ(registry.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
            nb::ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(registry.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key,
                                     nullptr),
            nb::ERROR_SUCCESS);
  const uint32_t level = 2;
  registry.RegSetValueExA(key, "F", nb::REG_DWORD, reinterpret_cast<const uint8_t*>(&level), 4);
  registry.RegSetValueExA(key, "G", nb::REG_DWORD, reinterpret_cast<const uint8_t*>(&level), 4);
  EXPECT_EQ(registry.RegCloseKey(key), nb::ERROR_WRITE_FAULT);
  ASSERT_EQ(told.size(), 1u) << "once for the values closed together";
  EXPECT_EQ(told[0].rfind("/proc/nightbloom-test/nightbloom/registry.ini: /proc/nightbloom-test/nightbloom: ", 0), 0u)
      << told[0];
  EXPECT_TRUE(registry.saveFailed());

  // Settings that may not be written at all (a folder in the file's place): told as well.
  fs::create_directories(file_);
  nb::KeyFileRegistry refusing(file_.string(), warnings_);
  std::vector<std::string> refused;
  refusing.SetSaveFailureListener(
      [&](const std::string&, const std::string& why) { refused.push_back(why); });
  ASSERT_EQ(refusing.RegCreateKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key,
                                     nullptr),
            nb::ERROR_SUCCESS);
  EXPECT_EQ(refusing.RegSetValueExA(key, "F", nb::REG_DWORD,
                                    reinterpret_cast<const uint8_t*>(&level), 4),
            nb::ERROR_ACCESS_DENIED);
  EXPECT_EQ(refusing.RegCloseKey(key), nb::ERROR_WRITE_FAULT);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0], "the file there cannot be read: it is a folder");
}

TEST_F(KeyFileRegistryTest, TwoProcessesSavingAtOnceLeaveOneWholeFile) {
  // Each round, two processes released at the same moment save different values.
  for (int round = 0; round < 100; ++round) {
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t savers[2];
    for (uint32_t level = 0; level < 2; ++level) {
      savers[level] = fork();
      if (savers[level] == 0) {
        close(go[1]);
        char byte;
        if (read(go[0], &byte, 1) != 0) _exit(3);
        _exit(SaveLevel(file_.string(), level, nullptr) == nb::ERROR_SUCCESS ? 0 : 1);
      }
    }
    close(go[0]);
    close(go[1]);  // both start
    for (pid_t saver : savers) {
      int status = 0;
      ASSERT_EQ(waitpid(saver, &status, 0), saver);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
    }
    const std::string text = ReadFile(file_);
    ASSERT_TRUE(text == LevelText(0) || text == LevelText(1)) << "round " << round << ":\n" << text;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(file_.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(KeyFileRegistryTest, KilledWhileSavingLeavesAWholeFileAndTheNextStartCleansUp) {
  // A process saving two settings in turn as fast as it can, killed at a random moment, a
  // hundred times: many kills land inside a save.
  ASSERT_EQ(SaveLevel(file_.string(), 0, nullptr), nb::ERROR_SUCCESS);
  std::srand(20240601);
  int cutShort = 0;
  for (int kill = 0; kill < 100; ++kill) {
    const pid_t saver = fork();
    if (saver == 0) {
      for (uint32_t level = 0;; level ^= 1) SaveLevel(file_.string(), level, nullptr);
    }
    ASSERT_GT(saver, 0);
    usleep(static_cast<useconds_t>(std::rand() % 3000));
    ::kill(saver, SIGKILL);
    waitpid(saver, nullptr, 0);
    const std::string text = ReadFile(file_);
    ASSERT_TRUE(text == LevelText(0) || text == LevelText(1)) << "kill " << kill << ":\n" << text;
    // The next start (this one reads the file) removes what the killed save left.
    const size_t before = std::distance(fs::directory_iterator(file_.parent_path()), fs::directory_iterator());
    cutShort += before > 1 ? 1 : 0;
    nb::KeyFileRegistry next(file_.string(), warnings_);
    nb::RegKey key{};
    ASSERT_EQ(next.RegOpenKeyExA(nb::HKEY_CURRENT_USER, kKey, 0, nb::KEY_ALL_ACCESS, &key),
              nb::ERROR_SUCCESS);
    next.RegCloseKey(key);
    ASSERT_EQ(std::distance(fs::directory_iterator(file_.parent_path()), fs::directory_iterator()), 1)
        << "kill " << kill;
  }
  EXPECT_GT(cutShort, 0) << "no kill landed inside a save";
  EXPECT_TRUE(Warnings().empty()) << Warnings();
}

TEST_F(KeyFileRegistryTest, DefaultPathIsUnderTheUsersConfigDirectory) {
  const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string keepConfig = savedConfig ? savedConfig : "";
  const char* savedHome = std::getenv("HOME");
  const std::string keepHome = savedHome ? savedHome : "";
  setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
  EXPECT_EQ(nb::KeyFileRegistry::DefaultPath(), "/somewhere/config/nightbloom/registry.ini");
  setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(nb::KeyFileRegistry::DefaultPath(), "/home/someone/.config/nightbloom/registry.ini");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_EQ(nb::KeyFileRegistry::DefaultPath(), "");
  if (savedConfig) setenv("XDG_CONFIG_HOME", keepConfig.c_str(), 1);
  if (savedHome) setenv("HOME", keepHome.c_str(), 1);
}

}  // namespace
