// The shell's command-line grammar on any text: every line gives a run mode, a preview
// only with a non-zero window handle, and the handle that a C library's strtol reading
// (clamped to 32 bits) gives, after the same skipping of blanks and colons.
#include <climits>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "shell/shell.h"

namespace {

// The grammar told differently: the standard library reads the number.
nb::CommandLine Expected(const char* line) {
  nb::CommandLine expected;
  const char* p = line;
  while (*p == ' ') ++p;
  if (*p == '\0') return expected;
  if (*p == '-' || *p == '/') ++p;
  switch (*p) {
    case 'p': case 'P': case 'l': case 'L': {
      ++p;
      while (*p == ' ' || *p == ':') ++p;
      long long value = std::strtoll(p, nullptr, 10);
      if (value > INT32_MAX) value = INT32_MAX;
      if (value < INT32_MIN) value = INT32_MIN;
      if (value == 0) {
        expected.mode = nb::RunMode::Saver;
      } else {
        expected.mode = nb::RunMode::Preview;
        expected.parent = nb::Window{static_cast<uintptr_t>(static_cast<intptr_t>(value))};
      }
      return expected;
    }
    case 'c': case 'C': expected.mode = nb::RunMode::Configure; return expected;
    case 'a': case 'A': expected.mode = nb::RunMode::ChangePassword; return expected;
    default: expected.mode = nb::RunMode::Saver; return expected;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The line ends at its first zero byte, as a C string does.
  const std::string line(reinterpret_cast<const char*>(data), size);
  const char* text = line.c_str();
  const nb::CommandLine parsed = nb::ParseCommandLine(text);
  const nb::CommandLine expected = Expected(text);
  FUZZ_CHECK(parsed.mode == expected.mode);
  FUZZ_CHECK(parsed.parent == expected.parent);
  FUZZ_CHECK((parsed.mode == nb::RunMode::Preview) == !nb::IsNone(parsed.parent));
  return 0;
}
