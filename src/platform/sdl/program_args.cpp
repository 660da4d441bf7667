// The command-line parser of the Linux program. Depends on program_args.h.
#include "platform/sdl/program_args.h"

#include <cctype>

namespace nb {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool ParseLevel(const std::string& text, uint32_t* out) {
  const std::string level = Lower(text);
  if (level == "low") {
    *out = 0;
  } else if (level == "medium" || level == "med") {
    *out = 1;
  } else if (level == "high") {
    *out = 2;
  } else {
    return false;
  }
  return true;
}

// The screensaver machinery's forms: a slash and any letter (the shell reads only the
// first one), or a dash and one of the letters it knows, alone or with ':' and a number.
bool IsWindowsForm(const std::string& arg) {
  if (arg.size() < 2) return arg == "/";
  if (arg[0] == '/') return true;
  if (arg[0] != '-') return false;
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
  if (letter != 's' && letter != 'c' && letter != 'p' && letter != 'l' && letter != 'a') {
    return false;
  }
  return arg.size() == 2 || arg[2] == ':';
}

bool TakesWindow(const std::string& form) {
  if (form.size() < 2) return false;
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(form[1])));
  return letter == 'p' || letter == 'l' || letter == 'c' || letter == 'a';
}

// "/p 0x1a" and "/p:0x1a" reach the shell as "/p 26": it reads decimal numbers only.
std::string DecimalWindow(const std::string& text) {
  uint64_t number = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      ParseWindowNumber(text, &number)) {
    return std::to_string(number);
  }
  return text;
}

// Arguments go back to the terminal inside error messages: control characters there are
// shown as \xNN, never sent as they are.
std::string Printable(const std::string& text) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += hex[byte >> 4];
      out += hex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// A whole decimal number first..last, digits only.
bool ParseBounded(const std::string& text, uint32_t first, uint32_t last, uint32_t* out) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value < first || value > last) return false;
  *out = value;
  return true;
}

}  // namespace

bool ParseExtraShow(const std::string& text, ExtraShow* out) {
  const size_t colon1 = text.find(':');
  const size_t colon2 = colon1 == std::string::npos ? colon1 : text.find(':', colon1 + 1);
  if (colon2 == std::string::npos) return false;
  const std::string mode = text.substr(colon1 + 1, colon2 - colon1 - 1);
  const std::string device = text.substr(colon2 + 1);
  const size_t x1 = mode.find('x');
  const size_t x2 = x1 == std::string::npos ? x1 : mode.find('x', x1 + 1);
  if (x2 == std::string::npos) return false;
  ExtraShow show;
  uint32_t display = 0;
  if (!ParseBounded(text.substr(0, colon1), 0, 63, &display) ||
      !ParseBounded(mode.substr(0, x1), 1, 8192, &show.width) ||
      !ParseBounded(mode.substr(x1 + 1, x2 - x1 - 1), 1, 8192, &show.height) ||
      !ParseBounded(mode.substr(x2 + 1), 16, 32, &show.bitsPerPixel) ||
      (show.bitsPerPixel != 16 && show.bitsPerPixel != 32)) {
    return false;
  }
  if (device != "software" && device != "hardware") return false;
  show.display = static_cast<int32_t>(display);
  show.hardware = device == "hardware";
  *out = show;
  return true;
}

std::string FormatExtraShow(const ExtraShow& show) {
  return std::to_string(show.display) + ":" + std::to_string(show.width) + "x" +
         std::to_string(show.height) + "x" + std::to_string(show.bitsPerPixel) + ":" +
         (show.hardware ? "hardware" : "software");
}

bool ParseWindowNumber(const std::string& text, uint64_t* out) {
  size_t i = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    i = 2;
  }
  if (i >= text.size()) return false;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int c = std::tolower(static_cast<unsigned char>(text[i]));
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return false;
    }
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return false;
  }
  if (value == 0) return false;
  *out = value;
  return true;
}

ProgramArgs ParseProgramArgs(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  return ParseProgramArgs(args);
}

ProgramArgs ParseProgramArgs(const std::vector<std::string>& args) {
  ProgramArgs result;
  auto fail = [](std::string why) {
    ProgramArgs failed;
    failed.action = ProgramAction::Error;
    failed.error = Printable(why);
    return failed;
  };
  std::string mode;  // the option that chose the run mode, for conflicts
  auto chooseMode = [&](const std::string& option) {
    if (!mode.empty()) return false;
    mode = option;
    return true;
  };
  // Where the show goes, as XScreenSaver's hacks take it: the last of --root and --window
  // counts, and a window named with --window-id wins over both (the settings program's
  // preview adds it to a command line that may hold --root already).
  std::string placement;  // the first of them given, for conflicts with a run mode
  bool inRoot = false;
  bool inWindowId = false;

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool windowsForm = IsWindowsForm(arg);
    std::string name = arg;
    std::string value;
    bool inlineValue = false;
    if (!windowsForm && arg.size() > 2 && arg[0] == '-' && arg[1] != '-') name = "-" + arg;
    if (name.rfind("--", 0) == 0) {
      const size_t equals = name.find('=');
      if (equals != std::string::npos) {
        value = name.substr(equals + 1);
        name = name.substr(0, equals);
        inlineValue = true;
      }
    }
    auto needValue = [&](std::string* out) {
      if (inlineValue) {
        *out = value;
        return true;
      }
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    auto runMode = [&](const std::string& option) {
      if (!placement.empty()) return false;
      return chooseMode(option);
    };
    auto place = [&](const std::string& option) {
      if (!mode.empty()) return false;
      if (placement.empty()) placement = option;
      return true;
    };

    if (name == "--help" || name == "-h") {
      ProgramArgs help;
      help.action = ProgramAction::Help;
      return help;
    }
    if (name == "--version") {
      ProgramArgs version;
      version.action = ProgramAction::Version;
      return version;
    }
    if (inlineValue && (name == "--fullscreen" || name == "--settings" || name == "--root" ||
                        name == "--window" || name == "--sound" || name == "--no-sound" ||
                        name == "--fps" || name == "--no-fps" || name == "--install" ||
                        name == "--mono")) {
      return fail("option " + name + " takes no value");
    }
    if (name == "--fullscreen" || name == "--settings") {
      if (!runMode(arg)) {
        return fail(arg + " cannot be combined with " + (mode.empty() ? placement : mode));
      }
      result.commandLine = name == "--fullscreen" ? "/s" : "/c";
      result.presentation = Presentation::FullScreen;
    } else if (name == "--extra-show") {
      std::string text;
      ExtraShow show;
      if (!needValue(&text)) return fail(name + " needs DISPLAY:WIDTHxHEIGHTxBITS:DEVICE");
      if (!ParseExtraShow(text, &show)) {
        return fail("'" + text + "' is not a show for " + name +
                    " (DISPLAY:WIDTHxHEIGHTxBITS:software|hardware)");
      }
      if (!runMode(arg)) {
        return fail(arg + " cannot be combined with " + (mode.empty() ? placement : mode));
      }
      result.commandLine = "/s";
      result.presentation = Presentation::FullScreen;
      result.extraShow = show;
    } else if (name == "--monitors") {
      std::string text;
      if (!needValue(&text)) return fail(name + " needs one or each");
      const std::string choice = Lower(text);
      if (choice != "one" && choice != "each") {
        return fail("'" + text + "' is not a choice for " + name + " (one or each)");
      }
      result.monitorsEach = choice == "each";
    } else if (name == "--window-id") {
      std::string text;
      if (!needValue(&text)) return fail(name + " needs an X window number");
      uint64_t window = 0;
      if (!ParseWindowNumber(text, &window)) {
        return fail("'" + text + "' is not an X window number (decimal or 0x hexadecimal)");
      }
      if (!place(arg)) return fail(arg + " cannot be combined with " + mode);
      inWindowId = true;
      result.embedWindow = window;
    } else if (name == "--root" || name == "--window") {
      if (!place(arg)) return fail(arg + " cannot be combined with " + mode);
      inRoot = name == "--root";
    } else if (name == "--particles" || name == "--smoke") {
      std::string text;
      uint32_t level = 0;
      if (!needValue(&text)) return fail(name + " needs low, medium or high");
      if (!ParseLevel(text, &level)) {
        return fail("'" + text + "' is not a level for " + name + " (low, medium or high)");
      }
      (name == "--particles" ? result.particleLevel : result.smokeLevel) = level;
    } else if (name == "--sound" || name == "--no-sound") {
      result.useSound = name == "--sound" ? 1u : 0u;
    } else if (name == "--fps" || name == "--no-fps") {
      result.showFps = name == "--fps";
    } else if (name == "--install" || name == "--mono") {
      // Colormaps and monochrome drawing: nothing to choose on a true-colour GL show.
    } else if (name == "--visual") {
      std::string text;
      if (!needValue(&text) || text.empty()) return fail(name + " needs a visual");
    } else if (windowsForm) {
      if (!runMode(arg)) {
        return fail("'" + arg + "' cannot be combined with " + (mode.empty() ? placement : mode));
      }
      result.presentation = Presentation::FullScreen;
      const size_t colon = arg.find(':');
      if (TakesWindow(arg) && colon != std::string::npos) {
        result.commandLine = arg.substr(0, colon + 1) + DecimalWindow(arg.substr(colon + 1));
      } else {
        result.commandLine = arg;
      }
      // The window number of /p N, /l N, /c N and /a N may follow as its own word.
      if (TakesWindow(arg) && colon == std::string::npos && i + 1 < args.size() &&
          !args[i + 1].empty() && args[i + 1][0] != '-' && args[i + 1][0] != '/') {
        result.commandLine += " " + DecimalWindow(args[++i]);
      }
    } else {
      return fail("unknown option '" + arg + "'");
    }
  }
  if (result.monitorsEach && (inRoot || inWindowId)) {
    return fail(std::string("--monitors cannot be combined with ") +
                (inWindowId ? "--window-id" : "--root") +
                ": XScreenSaver runs one hack on each screen itself");
  }
  if (result.monitorsEach && result.extraShow) {
    return fail("--monitors cannot be combined with --extra-show");
  }
  if (mode.empty()) {
    result.commandLine = "/s";
    result.presentation = Presentation::Window;
    if (inWindowId || inRoot) {
      result.presentation = Presentation::Embedded;
      result.embedInRoot = !inWindowId;
      if (!inWindowId) result.embedWindow = 0;
    }
  }
  return result;
}

bool ResolveRootTarget(const char* xscreensaverWindow, uint64_t rootWindow, uint64_t* out,
                       std::string* error) {
  if (!xscreensaverWindow) {
    *out = rootWindow;
    return true;
  }
  if (!ParseWindowNumber(xscreensaverWindow, out)) {
    if (error) {
      *error = "XSCREENSAVER_WINDOW is '" + Printable(xscreensaverWindow) + "', not an X window number (decimal or 0x hexadecimal)";
    }
    return false;
  }
  return true;
}

std::string UsageText() {
  return "usage: nightbloom [OPTION]...\n"
         "Fireworks. Without options the show runs in a window (close it, or press Esc or q).\n"
         "\n"
         "  --fullscreen            the screensaver: full screen until a key, a click or a\n"
         "                          mouse move (same as /s)\n"
         "  --settings              the settings dialog (same as /c)\n"
         "  --window-id ID          draw the show into the existing X window ID (decimal or\n"
         "                          0x hexadecimal; also -window-id, as XScreenSaver passes it)\n"
         "  --root                  draw into XSCREENSAVER_WINDOW, or the root window (the\n"
         "                          XScreenSaver hack; --window-id wins over it)\n"
         "  --particles LEVEL       number of particles for this run: low, medium or high\n"
         "  --smoke LEVEL           amount of smoke for this run: low, medium or high\n"
         "  --sound, --no-sound     sound on or off for this run\n"
         "  --fps                   frames per second and CPU share in a corner\n"
         "  --monitors one|each     full screen on the chosen monitor, the others black (one),\n"
         "                          or a show on every monitor (each), for this run\n"
         "  --help                  this text\n"
         "  --version               the version\n"
         "\n"
         "Every option may be written with one dash or two. XScreenSaver's --window, --install,\n"
         "--visual V, --mono and --no-fps are taken as well.\n"
         "The screensaver machinery's forms work too: /s, /c, /c:N, /p N (preview inside X\n"
         "window N), /a.\n"
         "Environment: NIGHTBLOOM_SEED=S replays the show of seed S; NIGHTBLOOM_TRACE=FILE\n"
         "writes its trace; NIGHTBLOOM_PACING=0 draws frames as fast as they come;\n"
         "NIGHTBLOOM_HARDWARE_DEVICE=1 offers the hardware device even on a software renderer.\n"
         "--extra-show D:WxHxB:DEVICE is how --monitors each starts its other monitors' shows.\n"
         "Settings are kept in $XDG_CONFIG_HOME/nightbloom/registry.ini.\n";
}

}  // namespace nb
