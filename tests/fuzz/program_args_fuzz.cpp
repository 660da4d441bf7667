// The Linux program's command line on any argument vector (the input split at zero bytes):
// every vector gives one action; an error says why; a run names a presentation that has what
// it needs, overrides within their ranges, an extra show within its own, and a line the
// shell reads without complaint.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/sdl/program_args.h"
#include "shell/shell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (size > 0) args.push_back(current);

  const nb::ProgramArgs parsed = nb::ParseProgramArgs(args);
  switch (parsed.action) {
    case nb::ProgramAction::Error:
      FUZZ_CHECK(!parsed.error.empty());
      FUZZ_CHECK(parsed.error.find('\n') == std::string::npos);
      return 0;
    case nb::ProgramAction::Help:
    case nb::ProgramAction::Version:
      return 0;
    case nb::ProgramAction::Run:
      break;
  }
  FUZZ_CHECK(parsed.error.empty());
  if (parsed.useSound) FUZZ_CHECK(*parsed.useSound <= 1);
  if (parsed.particleLevel) FUZZ_CHECK(*parsed.particleLevel <= 2);
  if (parsed.smokeLevel) FUZZ_CHECK(*parsed.smokeLevel <= 2);
  if (parsed.presentation == nb::Presentation::Embedded) {
    FUZZ_CHECK(parsed.embedInRoot || parsed.embedWindow != 0);
    FUZZ_CHECK(parsed.embedWindow <= 0xFFFFFFFFull);
  }
  // --monitors is never a hack's; an extra show is a saver on a display, in a mode the
  // device renders, and reads back as it is written.
  if (parsed.monitorsEach) FUZZ_CHECK(parsed.presentation != nb::Presentation::Embedded);
  if (parsed.extraShow) {
    const nb::ExtraShow& show = *parsed.extraShow;
    FUZZ_CHECK(parsed.presentation == nb::Presentation::FullScreen && parsed.commandLine == "/s");
    FUZZ_CHECK(show.display >= 0 && show.width >= 1 && show.width <= 8192 && show.height >= 1 &&
               show.height <= 8192 && (show.bitsPerPixel == 16 || show.bitsPerPixel == 32));
    nb::ExtraShow back;
    FUZZ_CHECK(nb::ParseExtraShow(nb::FormatExtraShow(show), &back));
    FUZZ_CHECK(nb::FormatExtraShow(back) == nb::FormatExtraShow(show));
  }
  // The line goes to the shell as it is; a preview carries the window it names.
  const nb::CommandLine line = nb::ParseCommandLine(parsed.commandLine.c_str());
  FUZZ_CHECK((line.mode == nb::RunMode::Preview) == !nb::IsNone(line.parent));
  return 0;
}
