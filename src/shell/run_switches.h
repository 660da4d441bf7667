// Two switches of the environment, for tests and reproducible demos, read once at start
// by the program's entry: NIGHTBLOOM_SEED=S seeds the show with S instead of the calendar
// time; NIGHTBLOOM_TRACE=FILE makes the saver write the trace of the show (the lines the
// trace tool prints: header, start, launches, sounds, one line per tick) for every tick
// it runs. Unset, nothing changes.
// Depends on the trace printer and the C standard library; no platform header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "trace/trace_printer.h"

namespace nb {

inline constexpr const char* seedSwitchName = "NIGHTBLOOM_SEED";
inline constexpr const char* traceSwitchName = "NIGHTBLOOM_TRACE";

struct RunSwitches {
  bool haveSeed = false;
  uint32_t seed = 0;
  std::string tracePath;  // empty: no trace
};

// Reads the two switches from their texts (null: unset). A seed must be a whole decimal
// number 0..4294967295 without sign or blanks; a trace path must not be empty. False with
// a one-line reason in *error otherwise (*out is then left as it was).
bool ParseRunSwitches(const char* seedText, const char* tracePath, RunSwitches* out,
                      std::string* error);

// The saver's trace file: opened before the show starts, written as the show runs, each
// tick's line flushed at once so that a run ended at any moment leaves a whole trace.
class ShellTrace {
 public:
  ShellTrace(const ShellTrace&) = delete;
  ShellTrace& operator=(const ShellTrace&) = delete;
  ~ShellTrace();

  // Opens (truncating) path for writing. Null when it cannot be opened.
  static ShellTrace* Open(const std::string& path);

  // Installs hooks that print launches and sounds and then pass sounds on to sound.
  void Attach(void (*sound)(void* context, int32_t id));
  void Header(uint32_t seed, int32_t particles, int32_t smoke);  // before SimInit
  void Started();  // the start line, after SimInit
  void Tick();     // after each SimTick, flushed
  int64_t ticks() const { return ticks_; }

 private:
  explicit ShellTrace(std::FILE* file) : file_(file), printer_(file) {}
  static void SoundHook(void* trace, int32_t id);
  static void LaunchHook(void* trace, int32_t type, const Shell& shell);

  std::FILE* file_;
  TracePrinter printer_;
  void (*sound_)(void*, int32_t) = nullptr;
  int64_t ticks_ = 0;
};

}  // namespace nb
