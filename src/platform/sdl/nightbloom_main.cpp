// nightbloom, the Linux program: reads its command line and environment, puts the SDL
// platform together and runs the shell on it.
// Depends on the shell and src/platform/sdl. The exit code is the shell's, 2 for a bad
// command line or environment switch.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "platform/sdl/monitor_shows.h"
#include "platform/sdl/program_args.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/termination.h"
#include "shell/run_switches.h"
#include "shell/settings_store.h"
#include "shell/shell.h"

#ifndef NIGHTBLOOM_VERSION
#define NIGHTBLOOM_VERSION "unknown"
#endif

namespace {

using namespace nb;

// An on/off switch of the environment: unset gives fallback; "0" and "1" only.
bool ReadFlag(const char* name, int32_t fallback, int32_t* out) {
  const char* text = std::getenv(name);
  if (!text) {
    *out = fallback;
    return true;
  }
  const std::string value = text;
  if (value != "0" && value != "1") {
    std::fprintf(stderr, "nightbloom: %s must be 0 or 1, not '%s'\n", name, text);
    return false;
  }
  *out = value == "1" ? 1 : 0;
  return true;
}

const char* LevelName(uint32_t level) {
  return level == 0 ? "low" : level == 1 ? "medium" : "high";
}

// What the extra shows of --monitors each are started with: this program, the run's own
// levels and --fps, no sound, and the chosen monitor's seed (taken from the clock now when
// none is given, so that the others' can derive from it).
ExtraShowPlan MonitorPlan(const ProgramArgs& args, RunSwitches* switches) {
  ExtraShowPlan plan;
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  plan.program = length > 0 ? std::string(path, static_cast<size_t>(length)) : "nightbloom";
  if (args.particleLevel) {
    plan.arguments.insert(plan.arguments.end(), {"--particles", LevelName(*args.particleLevel)});
  }
  if (args.smokeLevel) {
    plan.arguments.insert(plan.arguments.end(), {"--smoke", LevelName(*args.smokeLevel)});
  }
  // One sky is heard: the others' launches and bursts would only pile up over it.
  plan.arguments.push_back("--no-sound");
  if (args.showFps) plan.arguments.push_back("--fps");
  if (!switches->haveSeed) {
    switches->haveSeed = true;
    switches->seed = static_cast<uint32_t>(std::time(nullptr));
  }
  plan.seed = switches->seed;
  return plan;
}

}  // namespace

int main(int argc, char** argv) {
  const ProgramArgs args = ParseProgramArgs(argc, argv);
  switch (args.action) {
    case ProgramAction::Help:
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    case ProgramAction::Version:
      std::printf("nightbloom %s\n", NIGHTBLOOM_VERSION);
      return 0;
    case ProgramAction::Error:
      std::fprintf(stderr, "nightbloom: %s\nTry 'nightbloom --help'.\n", args.error.c_str());
      return 2;
    case ProgramAction::Run:
      break;
  }

  RunSwitches switches;
  std::string error;
  if (!ParseRunSwitches(std::getenv(seedSwitchName), std::getenv(traceSwitchName), &switches,
                        &error)) {
    std::fprintf(stderr, "nightbloom: %s\n", error.c_str());
    return 2;
  }
  int32_t pacing = 1;
  int32_t hardware = -1;
  int32_t stats = 0;
  if (!ReadFlag("NIGHTBLOOM_PACING", 1, &pacing) ||
      !ReadFlag("NIGHTBLOOM_HARDWARE_DEVICE", -1, &hardware) ||
      !ReadFlag("NIGHTBLOOM_STATS", 0, &stats)) {
    return 2;
  }

  // The window XScreenSaver names is part of the command, checked before anything starts;
  // 0 when the variable is unset (the root window, once the display is open).
  uint64_t xscreensaverWindow = 0;
  if (args.embedInRoot) {
    if (!ResolveRootTarget(std::getenv("XSCREENSAVER_WINDOW"), 0, &xscreensaverWindow, &error)) {
      std::fprintf(stderr, "nightbloom: %s\n", error.c_str());
      return 2;
    }
  }

  const RunMode runMode = ParseCommandLine(args.commandLine.c_str()).mode;
  SdlPlatformOptions options;
  options.windows.presentation = args.presentation;
  options.needsX = args.presentation == Presentation::Embedded || runMode == RunMode::Preview;
  options.extraShow = args.extraShow;
  options.pacing = pacing != 0;
  options.hardwareDevice = hardware;
  options.showFps = args.showFps;
  options.settingsKey = settingsKey;
  if (args.useSound) options.overrides["E"] = *args.useSound;
  if (args.particleLevel) options.overrides["F"] = *args.particleLevel;
  if (args.smokeLevel) options.overrides["G"] = *args.smokeLevel;

  InstallTerminationHandlers();
  SdlPlatform platform(options);
  const char* compositor = std::getenv("WAYLAND_DISPLAY");
  if (options.needsX && !platform.video() && compositor && *compositor) {
    const char* what = runMode == RunMode::Preview ? "the preview (/p)"
                       : args.embedInRoot          ? "--root"
                                                   : "--window-id";
    std::fprintf(stderr, "nightbloom: %s draws into an X window, and this Wayland session has "
                 "no X display (%s)\n", what, platform.videoError().c_str());
    return 2;
  }
  if (!platform.video()) {
    std::fprintf(stderr, "nightbloom: no display to show anything on (%s)\n",
                 platform.videoError().c_str());
  }
  if (platform.video() && args.presentation == Presentation::FullScreen &&
      runMode == RunMode::Saver && !args.extraShow &&
      (args.monitorsEach ? *args.monitorsEach
                         : StoredMonitorsEach(platform.ports().registry, settingsKey, stderr))) {
    platform.windows().SetExtraShows(std::make_unique<MonitorShows>(MonitorPlan(args, &switches)));
  }
  if (args.presentation == Presentation::Embedded && platform.video()) {
    uint64_t host = args.embedWindow;
    if (args.embedInRoot) {
      host = xscreensaverWindow ? xscreensaverWindow
                                : (platform.link() ? platform.link()->RootWindowId() : 0);
    }
    if (!platform.link() || !platform.link()->Exists(host)) {
      std::fprintf(stderr, "nightbloom: there is no X window 0x%llx to draw in\n",
                   static_cast<unsigned long long>(host));
      return 2;
    }
    platform.windows().SetEmbedHost(host);
  }

  const int code = ShellMain(platform.ports(), Instance{0x400000}, args.commandLine.c_str(),
                             switches);
  if (stats) {
    const FramePacer& pacer = platform.pacer();
    const double seconds =
        static_cast<double>(pacer.lastFrameAt() - pacer.firstFrameAt()) / 1e6;
    const uint64_t frames = pacer.framesShown();
    // The extra shows of --monitors each say which display their figures are of.
    const std::string who = args.extraShow ? "nightbloom (display " +
                                                 std::to_string(args.extraShow->display + 1) + ")"
                                           : "nightbloom";
    std::fprintf(stderr, "%s: %llu frames in %.2f s: %.1f frames per second\n", who.c_str(),
                 static_cast<unsigned long long>(frames), seconds,
                 frames > 1 && seconds > 0 ? static_cast<double>(frames - 1) / seconds : 0.0);
    std::fprintf(stderr, "%s: frames in each second:", who.c_str());
    for (uint32_t count : pacer.framesEachSecond()) std::fprintf(stderr, " %u", count);
    std::fputc('\n', stderr);
  }
  return code;
}
