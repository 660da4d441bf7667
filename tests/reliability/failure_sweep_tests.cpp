// Every platform failure, injected: the saver from start to a key press, the configuration
// dialog confirmed with OK (alone, and after a new device choice in the device dialog) and
// the preview run once on the headless machine to count their port calls, then once more
// for every k with the k-th call failed as the platform usually fails it. Each run must
// end in one of the ways the program states (the normal end, perhaps with frames skipped
// or sounds dropped; or one start-up message and exit 0), must not hang, and must leave no
// platform object alive and nothing open that the platform did not refuse to close. The
// sanitizer build adds: no crash, no leak, no bad memory access on any of these paths.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "display/device_dialog.h"
#include "display/result_codes.h"
#include "headless_platform.h"
#include "shell/config_dialog.h"
#include "shell/shell.h"

namespace nb {
namespace {

using fake::DialogAction;

const std::string key = "Software\\Lumenfold Software\\Nightbloom";

// What one run did, read off the machine after ShellMain returned.
struct RunRecord {
  int exitCode = 0;
  uint64_t calls = 0;         // port calls counted by the fakes
  std::string failedCall;     // the call the sweep failed ("" in the counting run)
  bool hung = false;          // the run had to be stopped from outside
  std::vector<std::string> messages;  // texts of the message boxes asked for
  size_t frames = 0;          // frames finished (EndScene)
  size_t plays = 0;           // sounds started
  size_t drawings = 0;        // preview pictures stretched
  bool loopEnded = false;     // the saver loop ran and ended by the input rules
  bool dialogEnded = false;   // the configuration dialog ran and ended
  bool choiceSaved = false;   // the device choice of the device dialog reached the registry
  std::vector<std::string> leftovers;  // what was left alive or open, and by whom
};

struct Scenario {
  const char* name;
  // Makes the machine ready and returns the command line.
  std::function<std::string(test::HeadlessPlatform&, bool& hung)> prepare;
  // How a run that showed no message ended, in words; "" when that is not a way this
  // mode ends.
  std::function<std::string(const RunRecord&)> ending;
  RunSwitches switches;
};

// What a sweep saw: the counting run and how many runs ended in each way.
struct SweepReport {
  RunRecord clean;
  std::map<std::string, size_t> outcomes;
  size_t runs = 0;

  size_t Count(const std::string& part) const {
    size_t total = 0;
    for (const auto& [outcome, count] : outcomes) total += outcome.find(part) != std::string::npos ? count : 0;
    return total;
  }
};

// The texts a start-up failure may show: the timer's and those of the result codes.
bool IsStartUpMessage(const std::string& text) {
  if (text == "Timer error - need 1ms resolution.") return true;
  static const int32_t codes[] = {ResultCode::EnumFailed, ResultCode::NoCompatibleDevices,
                                  ResultCode::NoCompatibleDirect3D, ResultCode::InitFailed,
                                  E_OUTOFMEMORY, E_FAIL};
  for (int32_t code : codes) {
    if (text == ErrorMessageText(code)) return true;
  }
  return false;
}

// Calls whose refusal leaves a handle of the platform open or alive: the program cannot
// close what the platform will not close.
bool RefusedToClose(const std::string& call) {
  static const std::set<std::string> closing = {"Registry::RegCloseKey", "Gdi::DeleteDC", "Gdi::ReleaseDC",
                                                 "Gdi::DeleteObject"};
  return closing.count(call) != 0;
}

RunRecord Run(const Scenario& scenario, uint64_t failAt) {
  RunRecord record;
  test::HeadlessPlatform headless;
  const std::string line = scenario.prepare(headless, record.hung);
  if (failAt != 0) headless.fake.FailNthCall(failAt);
  const uint64_t before = headless.world.CheckedCalls();
  record.exitCode = ShellMain(headless.platform, test::headlessInstance, line.c_str(), scenario.switches);
  record.calls = headless.world.CheckedCalls() - before;
  record.failedCall = headless.world.SweptCall();
  for (const fake::Call& call : headless.world.CallsNamed("System::MessageBoxA")) {
    record.messages.push_back(call.texts.empty() ? "" : call.texts[0]);
  }
  // Calls that went through: the failed one did not.
  const auto succeeded = [&](const char* name) {
    return headless.world.CountCalls(name) - (record.failedCall == name ? 1 : 0);
  };
  record.frames = succeeded("DrawSurface::Flip");
  record.plays = succeeded("SoundBuffer::Play");
  record.drawings = succeeded("Gdi::StretchBlt");
  record.loopEnded = headless.world.CountCalls("System::SystemParametersInfoA") == 2 && !shell.running;
  for (const fake::FakeDialogState& dialog : headless.dialogs.Finished()) {
    record.dialogEnded = record.dialogEnded || (dialog.templateId == configDialogId && dialog.ended);
  }
  const auto saved = headless.registry.String(key, "C");
  record.choiceSaved = saved && *saved == "Direct3D HAL";

  for (const auto& object : headless.world.LiveObjects()) {
    record.leftovers.push_back(object.type + " alive with " + std::to_string(object.references) + " references");
  }
  if (!RefusedToClose(record.failedCall)) {
    if (headless.registry.OpenKeyCount() != 0) record.leftovers.push_back("registry key open");
    if (headless.gdi.OpenDcCount() != 0) record.leftovers.push_back("device context open");
    if (headless.gdi.BitmapCount() != 0) record.leftovers.push_back("bitmap not deleted");
  }
  if (textureList.head != nullptr) record.leftovers.push_back("texture list not destroyed");
  return record;
}

// The outcome of a run in words, for the report; "" when it is not one the program states.
std::string Outcome(const Scenario& scenario, const RunRecord& run, const RunRecord& clean) {
  if (run.hung) return "";
  if (!run.messages.empty()) {
    if (run.messages.size() != 1 || !IsStartUpMessage(run.messages[0]) || run.exitCode != 0 || run.frames != 0 ||
        run.dialogEnded) {
      return "";
    }
    std::string text;
    for (char c : run.messages[0]) text += c == '\n' ? std::string("\\n") : std::string(1, c);
    return "start-up message \"" + text + "\"";
  }
  std::string outcome = scenario.ending(run);
  if (outcome.empty()) return "";
  if (run.frames < clean.frames) outcome += ", frames skipped";
  if (run.plays < clean.plays) outcome += ", sounds dropped";
  if (run.drawings < clean.drawings) outcome += ", drawings skipped";
  return outcome;
}

SweepReport Sweep(const Scenario& scenario) {
  SweepReport report;
  report.clean = Run(scenario, 0);
  const RunRecord& clean = report.clean;
  EXPECT_FALSE(clean.hung);
  EXPECT_TRUE(clean.messages.empty());
  EXPECT_FALSE(scenario.ending(clean).empty());
  for (const std::string& leftover : clean.leftovers) ADD_FAILURE() << leftover;
  if (::testing::Test::HasFailure() || clean.calls == 0) return report;

  std::map<std::string, size_t>& outcomes = report.outcomes;
  size_t& runs = report.runs;
  for (uint64_t k = 1; k <= clean.calls; ++k) {
    const RunRecord run = Run(scenario, k);
    ++runs;
    SCOPED_TRACE(std::string(scenario.name) + ": call " + std::to_string(k) + " of " +
                 std::to_string(clean.calls) + ", " + run.failedCall);
    if (run.failedCall.empty()) {
      ADD_FAILURE() << "the run ended before its call " << k;
      continue;
    }
    for (const std::string& leftover : run.leftovers) ADD_FAILURE() << leftover;
    const std::string outcome = Outcome(scenario, run, clean);
    if (outcome.empty()) {
      ADD_FAILURE() << "not a stated end: exit " << run.exitCode << (run.hung ? ", hung" : "") << ", "
                    << run.messages.size() << " messages" << (run.messages.empty() ? "" : ": " + run.messages[0])
                    << ", " << run.frames << " frames";
      continue;
    }
    ++outcomes[outcome];
  }
  std::printf("%s: %llu port calls, %zu runs with one failed\n", scenario.name,
              static_cast<unsigned long long>(clean.calls), runs);
  for (const auto& [outcome, count] : outcomes) std::printf("  %6zu  %s\n", count, outcome.c_str());
  std::fflush(stdout);
  return report;
}

// A short saver: the small display, few particles and little smoke, the clock moving one
// tick per pass, a key press after a few frames.
constexpr uint32_t keyPoll = 6;
constexpr uint32_t givingUpPoll = keyPoll + 200;

std::string PrepareSaver(test::HeadlessPlatform& headless, bool& hung) {
  headless.UseSmallDisplay();
  headless.registry.SetDword(key, "F", 0);
  headless.registry.SetDword(key, "G", 0);
  headless.DriveClock(TickLengthMs, [&headless, &hung](uint32_t poll) {
    if (poll == keyPoll) {
      headless.windows.Post(WindowEvent{headless.windows.FindByClass("Nightbloom"), WM_KEYDOWN, 0x20, 0});
    }
    if (poll == givingUpPoll) {
      hung = true;
      shell.running = false;
    }
  });
  return "/s";
}

// A seed whose show launches a fountain, with its sound, on the fourth tick.
constexpr uint32_t seedWithAnEarlySound = 3;

TEST(FailureSweep, SaverFromStartToAKeyPress) {
  RunSwitches switches;
  switches.haveSeed = true;
  switches.seed = seedWithAnEarlySound;
  const SweepReport report =
      Sweep({"saver (/s)", PrepareSaver,
             [](const RunRecord& run) { return run.loopEnded ? "ran until the key" : ""; }, switches});
  EXPECT_GE(report.clean.frames, 3u);
  EXPECT_GE(report.clean.plays, 1u);
  EXPECT_EQ(report.runs, report.clean.calls);
  // Every kind of end was reached: the sweep went through start-up, frames and sound.
  EXPECT_GT(report.Count("Timer error"), 0u);
  EXPECT_GT(report.Count("Enumeration failed"), 0u);
  EXPECT_GT(report.Count("Generic initialization error"), 0u);
  EXPECT_GT(report.Count("frames skipped"), 0u);
  EXPECT_GT(report.Count("sounds dropped"), 0u);
}

// The configuration dialog ends by its script, unless the platform would not show it or
// would not end it; either way the program exits 0 without drawing anything.
std::string ConfigurationEnding(const RunRecord& run) {
  if (run.exitCode != 0 || run.frames != 0) return "";
  std::string ending;
  if (run.dialogEnded) {
    ending = "dialog closed";
  } else if (run.failedCall == "DialogSystem::DialogBoxParamA" || run.failedCall == "DialogSystem::EndDialog") {
    ending = "dialog refused by the platform";
  } else {
    return "";
  }
  return ending + (run.choiceSaved ? ", device choice saved" : "");
}

TEST(FailureSweep, ConfigurationConfirmedWithOk) {
  const SweepReport report = Sweep({"configuration (/c, OK)",
         [](test::HeadlessPlatform& headless, bool&) {
           headless.dialogs.Script({DialogAction::Select(IDC_PARTICLES, 1), DialogAction::Ok()});
           return std::string("/c");
         },
         ConfigurationEnding, RunSwitches{}});
  EXPECT_EQ(report.runs, report.clean.calls);
  EXPECT_TRUE(report.clean.dialogEnded);
  EXPECT_GT(report.Count("dialog closed"), 0u);
  EXPECT_GT(report.Count("refused by the platform"), 0u);
}

TEST(FailureSweep, ConfigurationWithANewDeviceChoice) {
  const SweepReport report = Sweep({"configuration (/c, device dialog, OK)",
         [](test::HeadlessPlatform& headless, bool&) {
           headless.dialogs.Script({DialogAction::Command(IDC_VIDEOCONFIG), DialogAction::Ok()});
           headless.dialogs.Script({DialogAction::Select(deviceComboId, 1), DialogAction::Ok()});
           return std::string("/c");
         },
         ConfigurationEnding, RunSwitches{}});
  EXPECT_EQ(report.runs, report.clean.calls);
  EXPECT_TRUE(report.clean.choiceSaved);
  EXPECT_GT(report.Count("device choice saved"), 0u);
}

constexpr uint32_t parentGoesAtPoll = 8;

TEST(FailureSweep, PreviewUntilItsParentGoes) {
  const SweepReport report = Sweep({"preview (/p)",
         [](test::HeadlessPlatform& headless, bool& hung) {
           const Window parent = headless.windows.AddForeignWindow(RECT{0, 0, 152, 112});
           headless.DriveClock(40, [&headless, &hung, parent](uint32_t poll) {
             if (poll == parentGoesAtPoll) {
               headless.world.Unchecked([&] { headless.windows.DestroyWindow(parent); });
             }
             if (poll == parentGoesAtPoll + 200) {
               hung = true;
               headless.windows.Post(WindowEvent{NoWindow, WM_QUIT, 0, 0});
             }
           });
           return "/p " + std::to_string(static_cast<uintptr_t>(parent));
         },
         [](const RunRecord& run) -> std::string {
           if (run.exitCode != 0) return "";
           if (run.drawings > 0) return "drew until its parent went";
           // The preview has no window to draw into: it ends at once.
           if (run.failedCall == "WindowSystem::CreateWindowExA" || run.failedCall == "WindowSystem::RegisterClassA") {
             return "no preview window";
           }
           return "";
         },
         RunSwitches{}});
  EXPECT_EQ(report.runs, report.clean.calls);
  EXPECT_GE(report.clean.drawings, 2u);
  EXPECT_GT(report.Count("drawings skipped"), 0u);
  EXPECT_GT(report.Count("no preview window"), 0u);
}

}  // namespace
}  // namespace nb
