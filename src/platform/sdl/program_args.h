// The command line of the Linux program: the screensaver machinery's forms (/s, /c, /c:N,
// /p N, /l N, /a), which go to the shell as they are (a hexadecimal window number turned
// into decimal, the way the shell reads it), and the Linux forms, each with one dash or
// two: nothing (the show in an ordinary window), --fullscreen, --settings, --window-id ID,
// --root, the overrides --particles / --smoke low|medium|high and --sound / --no-sound,
// --fps / --no-fps, --monitors one|each, --help and --version. XScreenSaver's common hack
// options are taken as it passes them: --window (a window of its own, the default), and
// --install, --visual V and --mono, which mean nothing here and are ignored. The saver of
// --monitors each starts its other monitors' shows with --extra-show (monitor_shows.h).
// Depends on the standard library only: no platform header, no I/O. A fuzz target reads
// arbitrary argument vectors through ParseProgramArgs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nb {

enum class ProgramAction {
  Run,      // start the shell with commandLine
  Help,     // print UsageText() and exit 0
  Version,  // print the version and exit 0
  Error,    // print error (and the usage hint) and exit 2
};

enum class Presentation {
  Window,      // an ordinary resizable window, ended by its close box, Esc or q
  FullScreen,  // the screensaver machinery's run: full screen, input rules of the saver
  Embedded,    // inside an existing X window (embedWindow, or the root / XSCREENSAVER_WINDOW)
};

// One of the extra shows of --monitors each: the saver on SDL display `display` (from 0)
// in the given mode, on the hardware device or the software one.
struct ExtraShow {
  int32_t display = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 32;
  bool hardware = false;
};

struct ProgramArgs {
  ProgramAction action = ProgramAction::Run;
  std::string error;          // for ProgramAction::Error: one line, without the program name
  std::string commandLine;    // what the shell parses
  Presentation presentation = Presentation::Window;
  uint64_t embedWindow = 0;   // Embedded: the X window; 0 with embedInRoot
  bool embedInRoot = false;   // --root: XSCREENSAVER_WINDOW when set, else the root window
  // Overrides of the stored settings for this run (not saved): 0/1 sound, levels 0..2.
  std::optional<uint32_t> useSound;
  std::optional<uint32_t> particleLevel;
  std::optional<uint32_t> smokeLevel;
  bool showFps = false;       // frames per second and CPU share in a corner of the picture
  // --monitors for this run: true each, false one; unset: the stored choice.
  std::optional<bool> monitorsEach;
  std::optional<ExtraShow> extraShow;  // --extra-show (a FullScreen saver)
};

// Reads argv[1..argc-1]. Never fails other than by returning ProgramAction::Error.
ProgramArgs ParseProgramArgs(int argc, const char* const* argv);
ProgramArgs ParseProgramArgs(const std::vector<std::string>& args);

// A window number as X tools print them: decimal, or hexadecimal with 0x. False for
// anything else, for 0 and for values beyond 32 bits.
bool ParseWindowNumber(const std::string& text, uint64_t* out);

// The window a show started with --root draws in: the one XScreenSaver names in
// XSCREENSAVER_WINDOW (xscreensaverWindow, null when the variable is unset), else the
// root window. False, with a one-line reason, when the variable is set but names no window
// number: drawing over the whole screen instead would hide the daemon's own windows.
bool ResolveRootTarget(const char* xscreensaverWindow, uint64_t rootWindow, uint64_t* out,
                       std::string* error);

// --extra-show's value, DISPLAY:WIDTHxHEIGHTxBITS:software|hardware (display from 0,
// sizes 1..8192, bits 16 or 32), and back. False for anything else.
bool ParseExtraShow(const std::string& text, ExtraShow* out);
std::string FormatExtraShow(const ExtraShow& show);

// The text of --help (several lines, ending in a line feed).
std::string UsageText();

}  // namespace nb
