// The seed and trace switches: how their texts are read, and a saver run on the headless
// machine whose trace equals the trace printer's own run of the same seed, tick for tick.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "headless_platform.h"
#include "shell/run_switches.h"
#include "shell/shell.h"
#include "trace/trace_printer.h"

namespace nb {
namespace {

TEST(RunSwitchesTest, ReadsSeedAndTracePathAndRefusesBadValues) {
  RunSwitches switches;
  std::string error;
  ASSERT_TRUE(ParseRunSwitches(nullptr, nullptr, &switches, &error));
  EXPECT_FALSE(switches.haveSeed);
  EXPECT_TRUE(switches.tracePath.empty());

  ASSERT_TRUE(ParseRunSwitches("4294967295", "/tmp/t.txt", &switches, &error));
  EXPECT_TRUE(switches.haveSeed);
  EXPECT_EQ(switches.seed, 4294967295u);
  EXPECT_EQ(switches.tracePath, "/tmp/t.txt");

  for (const char* bad : {"", "-1", "+5", "12a", " 7", "4294967296", "99999999999999999999999"}) {
    RunSwitches kept;
    kept.seed = 42;
    EXPECT_FALSE(ParseRunSwitches(bad, nullptr, &kept, &error)) << bad;
    EXPECT_NE(error.find("NIGHTBLOOM_SEED"), std::string::npos) << error;
    EXPECT_EQ(kept.seed, 42u);
    EXPECT_FALSE(kept.haveSeed);
  }
  EXPECT_FALSE(ParseRunSwitches("1", "", &switches, &error));
  EXPECT_NE(error.find("NIGHTBLOOM_TRACE"), std::string::npos);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The trace printer's own run: what the trace tool prints for the same seed and levels.
std::string ReferenceTrace(uint32_t seed, int32_t particles, int32_t smoke, int64_t ticks) {
  std::FILE* file = std::tmpfile();
  TracePrinter printer(file);
  settings.particleLevel = particles;
  settings.smokeLevel = smoke;
  show.hooks = ShowHooks{};
  show.hooks.context = &printer;
  show.hooks.sound = TracePrinter::SoundHook;
  show.hooks.launch = TracePrinter::LaunchHook;
  printer.PrintHeader(seed, particles, smoke);
  SimInit(seed);
  printer.PrintInit();
  for (int64_t t = 1; t <= ticks; ++t) {
    SimTick();
    printer.PrintTick(t);
  }
  SimShutdown();
  show.hooks = ShowHooks{};
  std::string text(static_cast<size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  const size_t read = std::fread(text.data(), 1, text.size(), file);
  text.resize(read);
  std::fclose(file);
  return text;
}

class SwitchedRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless.UseSmallDisplay();
    headless.registry.SetDword(key, "F", 1);
    headless.registry.SetDword(key, "G", 0);
    path = std::filesystem::temp_directory_path() /
           ("nightbloom-switch-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt");
    std::filesystem::remove(path);
  }
  void TearDown() override { std::filesystem::remove(path); }

  const std::string key = "Software\\Lumenfold Software\\Nightbloom";
  test::HeadlessPlatform headless;
  std::filesystem::path path;
};

TEST_F(SwitchedRunTest, SaverTraceEqualsThePrintersRunOfTheSameSeed) {
  headless.system.calendarTime = 1000;  // must not be the seed
  headless.DriveClock(7, [&](uint32_t poll) {
    if (poll == 900) {
      headless.windows.Post(WindowEvent{headless.windows.FindByClass("Nightbloom"), WM_KEYDOWN, 0x20, 0});
    }
  });
  RunSwitches switches;
  switches.haveSeed = true;
  switches.seed = 123456789;
  switches.tracePath = path.string();
  EXPECT_EQ(ShellMain(headless.platform, test::headlessInstance, "/s", switches), 0);
  const int64_t ticks = shell.ticksRun;
  ASSERT_GT(ticks, 300);
  // The saver made sounds of its own while tracing them.
  EXPECT_GT(headless.world.CountCalls("SoundBuffer::Play"), 0u);

  const std::string saver = ReadFile(path);
  EXPECT_EQ(saver.rfind("trace 1 seed=123456789 particles=1 smoke=0\ninit draws=", 0), 0u);
  EXPECT_EQ(saver, ReferenceTrace(123456789, 1, 0, ticks));
}

TEST_F(SwitchedRunTest, UnwritableTraceFileIsReportedBeforeAnythingStarts) {
  RunSwitches switches;
  switches.tracePath = (path / "no" / "such" / "folder.txt").string();
  EXPECT_EQ(ShellMain(headless.platform, test::headlessInstance, "/s", switches), 1);
  ASSERT_EQ(headless.system.messageBoxes.size(), 1u);
  EXPECT_NE(headless.system.messageBoxes[0].text.find("trace file"), std::string::npos);
  EXPECT_EQ(headless.world.CountCalls("CreateDevice"), 0u);
  EXPECT_EQ(shell.ticksRun, 0u);
  EXPECT_FALSE(shell.framework);
  EXPECT_EQ(headless.windows.WindowCount(), 0u);
}

}  // namespace
}  // namespace nb
