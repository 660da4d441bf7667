// The command-line grammar of the screensaver machinery.
#include <climits>
#include <cstdint>

#include "shell/shell.h"

namespace nb {

namespace {

bool IsAtoiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A signed decimal number the way atoi reads one: leading white space, an optional sign,
// digits up to the first non-digit; no digits is 0. Values beyond 32 bits saturate rather
// than overflow.
int32_t ReadInteger(const char* p) {
  while (IsAtoiSpace(*p)) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  int64_t value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10 + (*p++ - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

}  // namespace

CommandLine ParseCommandLine(const char* commandLine) {
  CommandLine result;
  const char* p = commandLine ? commandLine : "";
  while (*p == ' ') ++p;
  if (*p == '\0') return result;  // Configure
  if (*p == '-' || *p == '/') ++p;
  switch (*p) {
    case 'p':
    case 'P':
    case 'l':
    case 'L': {
      ++p;
      while (*p == ' ' || *p == ':') ++p;
      const int32_t handle = ReadInteger(p);
      if (handle != 0) {
        result.mode = RunMode::Preview;
        // Handles are 32-bit values, sign-extended like the platform's HWND conversions.
        result.parent = Window{static_cast<uintptr_t>(static_cast<intptr_t>(handle))};
      } else {
        result.mode = RunMode::Saver;
      }
      return result;
    }
    case 'c':
    case 'C':
      result.mode = RunMode::Configure;
      return result;
    case 'a':
    case 'A':
      result.mode = RunMode::ChangePassword;
      return result;
    default:
      result.mode = RunMode::Saver;
      return result;
  }
}

}  // namespace nb
