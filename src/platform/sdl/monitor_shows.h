// The extra shows of --monitors each: the show's state belongs to its process, so every
// monitor but the chosen one gets a process of its own, this program again, started with
// --extra-show DISPLAY:MODE:DEVICE once the chosen monitor's show is up, and ended with it.
// An extra show that ends cleanly (input on its monitor, a signal) ends the chosen
// monitor's show too, which then ends the rest: input on any monitor ends every show. One
// that fails (an exit code other than 0, a crash) leaves its monitor black instead.
// Each extra show's seed derives from the chosen monitor's; none writes the trace, none is
// heard, and none saves anything (its device choice is for its run only).
// Depends on POSIX processes and signals in the .cpp; the arguments are built without
// them, for tests.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gl/gl_device.h"
#include "platform/registry.h"

namespace nb {

// The stored choice beside the settings in the key file: REG_DWORD "Monitors", 0 one
// (the default), 1 each. The Windows program has no such value.
inline constexpr const char* monitorsValueName = "Monitors";

// Whether the stored choice is each. A missing key or value is one; a value of another
// type, size or number is one as well, said once on errors.
bool StoredMonitorsEach(Registry& registry, const char* key, std::FILE* errors);

// What every extra show is started with.
struct ExtraShowPlan {
  std::string program;                 // the executable (this program)
  std::vector<std::string> arguments;  // passed on after the show's own: levels, no sound, fps
  uint32_t seed = 0;                   // the chosen monitor's seed
};

// The seed of the show on display, derived from the chosen monitor's: distinct for every
// display, the same on every run with the same seed.
uint32_t ExtraShowSeed(uint32_t seed, int32_t display);

// The argument vector of the extra show on display (argv[0] is the program).
std::vector<std::string> ExtraShowArguments(const ExtraShowPlan& plan, int32_t display,
                                            const GlDisplayMode& mode, bool hardware);

// The environment of that show, from the program's own ("NAME=value" entries): the seed
// set to ExtraShowSeed, the trace left out.
std::vector<std::string> ExtraShowEnvironment(const std::vector<std::string>& environment,
                                              uint32_t seed);

class MonitorShows {
 public:
  explicit MonitorShows(ExtraShowPlan plan) : plan_(std::move(plan)) {}
  ~MonitorShows();
  MonitorShows(const MonitorShows&) = delete;
  MonitorShows& operator=(const MonitorShows&) = delete;

  // Starts the show on display in mode on the software or hardware device. False (with
  // the reason on the error stream) when no process could be started.
  bool Start(int32_t display, const GlDisplayMode& mode, bool hardware);
  struct Ended {
    int32_t display;
    bool cleanly;  // exit code 0
  };
  // The shows started here that have ended since the last call (they are reaped).
  std::vector<Ended> Reap();
  // Asks every running show to end (SIGTERM) and waits for them, up to five seconds in
  // all (a show under a sanitizer ends slowly); any still running then is killed. Nothing
  // of them is left afterwards.
  void Stop();
  size_t running() const { return running_.size(); }

 private:
  struct Show {
    pid_t pid;
    int32_t display;
  };
  ExtraShowPlan plan_;
  std::vector<Show> running_;
};

}  // namespace nb
