// The saver's shell: run modes, the process-wide shell state, the start-up order, the
// polling main loop with its fixed 17 ms tick schedule, and the frame cycle that starts,
// ticks, draws and stops the show, display and sound.
// Depends on the ports (reached through the one Platform the entry is given), the display
// layer, the scene, the sound bank and the show. Must not include a platform header, and
// must never block: the loop polls the clock and the message queue.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform.h"
#include "shell/run_switches.h"
#include "shell/tick_schedule.h"

namespace nb {

class DisplayFramework;

enum class RunMode : int32_t { Configure, Saver, ChangePassword, Preview };

struct CommandLine {
  RunMode mode = RunMode::Configure;
  Window parent{};  // the preview's parent window; set only for RunMode::Preview
};

// Reads the command line the way the screensaver machinery writes it (/s, /c, /c:HWND,
// /p HWND, /l HWND, /a HWND); only the first letter after an optional '-' or '/' counts.
// A null line is an empty one.
CommandLine ParseCommandLine(const char* commandLine);

// The tick schedule's fields (baseTime, elapsed, accumulated, ticksThisPass) are the
// shell's own, read by the loop and by tests as such.
struct ShellState : TickSchedule {
  bool active = false;      // saver window neither minimized nor hidden
  bool ready = false;       // display started and not paused
  bool running = false;     // the saver loop goes on
  bool passwordUp = false;  // the password window is up
  POINT lastCursor{};
  uint32_t graceStart = 0;
  int32_t pauseDepth = 0;
  std::unique_ptr<DisplayFramework> framework;
  // Set once by InitDisplay when it falls back to the default device; never reset.
  bool displayFallbackUsed = false;

  // What the window and dialog procedures reach the platform through. Set by ShellMain
  // (tests may set them directly); not owned.
  Platform* platform = nullptr;
  Instance instance{};
  Window window{};  // the saver window
  // wParam of the last message the saver loop took: the exit code after the loop.
  uintptr_t lastMessageParam = 0;
  // The failure that ended the start-up after its message (the device enumeration or
  // AppInit), 0 when there was none: the exit code stays 0 as on Windows, and a program
  // whose callers read exit codes can tell that nothing was shown.
  int32_t startFailure = 0;
  // Totals over the process, for the curious and for tests: ticks run by the loop and
  // frames it asked for.
  uint32_t ticksRun = 0;
  uint32_t framesRun = 0;
  // The environment's switches for this run, and the trace file they may ask for.
  RunSwitches switches;
  std::unique_ptr<ShellTrace> trace;

  ShellState();
  ~ShellState();
  ShellState(const ShellState&) = delete;
  ShellState& operator=(const ShellState&) = delete;
};

// The process-wide shell state.
extern ShellState shell;

// Puts the shell state back to its start values (deleting any framework without the
// scene's release) and clears the platform pointer. For tests that run the shell again.
void ResetShellState();

// The process entry: runs the mode the command line selects and returns the exit code
// (0 on every early exit; after the saver loop, the parameter of the last message taken).
// switches: the seed and trace switches the program read from its environment. A trace
// file that cannot be opened is reported in a message box and ends the saver with 1
// before anything starts.
int ShellMain(Platform& platform, Instance instance, const char* commandLine,
              const RunSwitches& switches = RunSwitches{});

// One pass of the saver loop: dispatch every queued message, then, when active and
// ready, up to MaxTicksPerPass ticks for the elapsed time and one frame.
void SaverLoopPass();

// ---- Application frame cycle (the glue between the loop and the working parts)
// Starts scene, show, sound (when the setting says so) and display for the window.
// 0, E_FAIL (scene), E_OUTOFMEMORY (framework) or InitFailed.
int32_t AppInit(Window window);
// Starts the display on the current device; on failure falls back once per process to
// the default device. 0 or InitFailed.
int32_t InitDisplay(Window window);
// One simulation tick: camera, then the show. 0, or E_FAIL without a display.
int32_t TickOnce();
// One frame: skipped silently while the display is not ours; surfaces restored after a
// loss. 0, or E_FAIL when there is no display or drawing failed.
int32_t RenderOnce();
// Releases display, scene device objects and sound; safe twice and after a failed AppInit.
void AppCleanup();
// true pauses (nesting), false resumes; the show runs again when the outermost resumes.
void PauseApp(bool pause);

}  // namespace nb
