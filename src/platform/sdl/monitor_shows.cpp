// The extra shows' processes. Depends on monitor_shows.h, program_args.h and POSIX.
#include "platform/sdl/monitor_shows.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/sdl/program_args.h"

extern char** environ;

namespace nb {

bool StoredMonitorsEach(Registry& registry, const char* key, std::FILE* errors) {
  RegKey opened{};
  if (registry.RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return false;
  }
  uint32_t type = 0;
  uint32_t value = 0;
  uint32_t size = sizeof(value);
  const int32_t result = registry.RegQueryValueExA(opened, monitorsValueName, &type,
                                                   reinterpret_cast<uint8_t*>(&value), &size);
  registry.RegCloseKey(opened);
  if (result == ERROR_FILE_NOT_FOUND) return false;
  if (result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) && value <= 1) {
    return value == 1;
  }
  if (errors) {
    std::fprintf(errors,
                 "nightbloom: the stored %s is not a number 0 (one) or 1 (each); one is used\n",
                 monitorsValueName);
  }
  return false;
}

uint32_t ExtraShowSeed(uint32_t seed, int32_t display) {
  // The golden ratio's step spreads neighbouring displays far apart in the seed space.
  return seed + 0x9E3779B9u * static_cast<uint32_t>(display + 1);
}

std::vector<std::string> ExtraShowArguments(const ExtraShowPlan& plan, int32_t display,
                                            const GlDisplayMode& mode, bool hardware) {
  std::vector<std::string> args{plan.program, "--extra-show",
                                FormatExtraShow(ExtraShow{display, mode.width, mode.height,
                                                          mode.bitsPerPixel, hardware})};
  args.insert(args.end(), plan.arguments.begin(), plan.arguments.end());
  return args;
}

std::vector<std::string> ExtraShowEnvironment(const std::vector<std::string>& environment,
                                              uint32_t seed) {
  std::vector<std::string> out;
  for (const std::string& entry : environment) {
    if (entry.rfind("NIGHTBLOOM_SEED=", 0) == 0 || entry.rfind("NIGHTBLOOM_TRACE=", 0) == 0) {
      continue;
    }
    out.push_back(entry);
  }
  out.push_back("NIGHTBLOOM_SEED=" + std::to_string(seed));
  return out;
}

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

MonitorShows::~MonitorShows() { Stop(); }

bool MonitorShows::Start(int32_t display, const GlDisplayMode& mode, bool hardware) {
  std::vector<std::string> args = ExtraShowArguments(plan_, display, mode, hardware);
  std::vector<std::string> environment;
  for (char** entry = environ; entry && *entry; ++entry) environment.emplace_back(*entry);
  environment = ExtraShowEnvironment(environment, ExtraShowSeed(plan_.seed, display));
  std::vector<char*> argv = Pointers(args);
  std::vector<char*> envp = Pointers(environment);
  const pid_t parent = getpid();
  // Everything the child needs is made before the fork: the program has threads (SDL's,
  // Mesa's), and after a fork only async-signal-safe calls may run until exec.
  const pid_t pid = fork();
  if (pid < 0) {
    std::fprintf(stderr, "nightbloom: no show on display %d: %s\n", display + 1,
                 std::strerror(errno));
    return false;
  }
  if (pid == 0) {
    // A show whose chosen monitor's process is gone (killed outright) must not outlive it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Connections to the display server and the like are the parent's alone.
    syscall(SYS_close_range, 3u, ~0u, 0u);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  running_.push_back(Show{pid, display});
  return true;
}

std::vector<MonitorShows::Ended> MonitorShows::Reap() {
  std::vector<Ended> ended;
  for (auto it = running_.begin(); it != running_.end();) {
    int status = 0;
    if (waitpid(it->pid, &status, WNOHANG) == it->pid) {
      ended.push_back(Ended{it->display, WIFEXITED(status) && WEXITSTATUS(status) == 0});
      it = running_.erase(it);
    } else {
      ++it;
    }
  }
  return ended;
}

void MonitorShows::Stop() {
  if (running_.empty()) return;
  for (const Show& show : running_) kill(show.pid, SIGTERM);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!running_.empty() && std::chrono::steady_clock::now() < limit) {
    Reap();
    if (!running_.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (const Show& show : running_) {
    std::fprintf(stderr, "nightbloom: the show on display %d did not end; killed\n",
                 show.display + 1);
    kill(show.pid, SIGKILL);
    waitpid(show.pid, nullptr, 0);
  }
  running_.clear();
}

}  // namespace nb
