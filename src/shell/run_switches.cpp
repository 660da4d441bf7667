#include "shell/run_switches.h"

#include "show/show.h"

namespace nb {

bool ParseRunSwitches(const char* seedText, const char* tracePath, RunSwitches* out,
                      std::string* error) {
  RunSwitches switches = *out;
  if (seedText) {
    uint64_t value = 0;
    bool valid = *seedText != '\0';
    for (const char* c = seedText; valid && *c != '\0'; ++c) {
      valid = *c >= '0' && *c <= '9';
      value = value * 10 + static_cast<uint64_t>(*c - '0');
      if (value > UINT32_MAX) valid = false;
    }
    if (!valid) {
      *error = std::string(seedSwitchName) + " must be a whole number 0..4294967295, not '" +
               seedText + "'";
      return false;
    }
    switches.haveSeed = true;
    switches.seed = static_cast<uint32_t>(value);
  }
  if (tracePath) {
    if (*tracePath == '\0') {
      *error = std::string(traceSwitchName) + " must name a file";
      return false;
    }
    switches.tracePath = tracePath;
  }
  *out = switches;
  return true;
}

ShellTrace::~ShellTrace() {
  if (show.hooks.context == this) show.hooks = ShowHooks{};
  std::fclose(file_);
}

ShellTrace* ShellTrace::Open(const std::string& path) {
  // Binary: the lines end in a bare line feed on every platform, as the trace tool's do.
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return nullptr;
  return new ShellTrace(file);
}

void ShellTrace::Attach(void (*sound)(void*, int32_t)) {
  sound_ = sound;
  show.hooks.context = this;
  show.hooks.sound = SoundHook;
  show.hooks.launch = LaunchHook;
}

void ShellTrace::LaunchHook(void* context, int32_t type, const Shell& shell) {
  static_cast<ShellTrace*>(context)->printer_.PrintLaunch(type, shell);
}

void ShellTrace::SoundHook(void* context, int32_t id) {
  ShellTrace* trace = static_cast<ShellTrace*>(context);
  trace->printer_.PrintSound(id);
  if (trace->sound_) trace->sound_(nullptr, id);
}

void ShellTrace::Header(uint32_t seed, int32_t particles, int32_t smoke) {
  printer_.PrintHeader(seed, particles, smoke);
}

void ShellTrace::Started() { printer_.PrintInit(); }

void ShellTrace::Tick() {
  printer_.PrintTick(++ticks_);
  std::fflush(file_);
}

}  // namespace nb
