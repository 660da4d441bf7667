// The whole program on the headless machine, from a command line to its exit code: the
// saver from start to a key press, the password change, and every start-up failure
// ending in its message.
#include <gtest/gtest.h>

#include "display/result_codes.h"
#include "headless_platform.h"
#include "shell/saver_window.h"
#include "shell/shell.h"

namespace nb {
namespace {

const std::string key = "Software\\Lumenfold Software\\Nightbloom";

class EndToEndTest : public ::testing::Test {
 protected:
  int Run(const char* line) { return ShellMain(headless.platform, test::headlessInstance, line); }
  size_t Count(const char* call) const { return headless.world.CountCalls(call); }
  // Presses a key once the saver has run for the given number of empty polls.
  void PressKeyAtPoll(uint32_t msPerPoll, uint32_t poll) {
    headless.DriveClock(msPerPoll, [this, poll](uint32_t n) {
      if (n == poll) {
        headless.windows.Post(WindowEvent{headless.windows.FindByClass("Nightbloom"), WM_KEYDOWN, 0x20, 0});
      }
    });
  }

  void SetUp() override {
    headless.UseSmallDisplay();
    // Few particles and little smoke keep the fakes' pixel work small.
    headless.registry.SetDword(key, "F", 0);
    headless.registry.SetDword(key, "G", 0);
  }

  test::HeadlessPlatform headless;
};

TEST_F(EndToEndTest, SaverRunsFromStartToAKeyPressAndExits) {
  const auto drawing = {"BeginScene", "EndScene", "DrawPrimitiveStrided", "Flip", "SoundBuffer::Play",
                        "SystemParametersInfoA", "VerifyScreenSavePwd"};
  Window saverWindow{};
  bool flaggedWhileRunning = false;
  headless.DriveClock(5, [&](uint32_t poll) {
    if (poll == 1) saverWindow = headless.windows.FindByClass("Nightbloom");
    if (poll == 5) flaggedWhileRunning = headless.system.screenSaverRunning;
    if (poll == 600) headless.windows.Post(WindowEvent{saverWindow, WM_KEYDOWN, 0x20, 0});  // 3 s in
    if (poll < 600) headless.TallyAndClear(drawing);
  });
  EXPECT_EQ(Run("/s"), 0);
  headless.TallyAndClear(drawing);
  auto& tally = headless.tally;

  EXPECT_TRUE(flaggedWhileRunning);
  EXPECT_GT(tally["EndScene"], 550u);
  EXPECT_EQ(tally["EndScene"], tally["BeginScene"]);
  EXPECT_GT(tally["DrawPrimitiveStrided"], 10 * tally["EndScene"]);
  EXPECT_EQ(tally["Flip"], tally["EndScene"]);
  EXPECT_GT(shell.ticksRun, 3000 / TickLengthMs - 2);
  EXPECT_LE(shell.ticksRun, 3100 / TickLengthMs);
  EXPECT_GT(tally["SoundBuffer::Play"], 0u);
  EXPECT_EQ(tally["SystemParametersInfoA"], 2u);
  EXPECT_EQ(headless.registry.String(key, "C"), "RGB Emulation");
  EXPECT_EQ(headless.registry.String(key, "D"), "160 x 120 x 16");

  EXPECT_FALSE(headless.system.screenSaverRunning);
  EXPECT_TRUE(headless.system.activePeriods.empty());
  EXPECT_EQ(tally["VerifyScreenSavePwd"], 1u);
  EXPECT_TRUE(headless.system.messageBoxes.empty());
  EXPECT_EQ(headless.windows.WindowCount(), 0u);
  EXPECT_EQ(headless.system.cursorCount, 0);  // hidden for the show, shown for the password
  // Display, textures and sound were all released on the way out, the texture list with
  // its bitmaps too.
  EXPECT_FALSE(shell.framework);
  EXPECT_EQ(headless.world.LiveCount(), 0u);
  EXPECT_EQ(textureList.head, nullptr);
  EXPECT_EQ(headless.gdi.BitmapCount(), 0u);
}

TEST_F(EndToEndTest, RefusedPasswordKeepsTheShowGoingUntilTheNextInput) {
  headless.system.verifyProvider = fake::Provider::Refuse;
  Window saverWindow{};
  headless.DriveClock(5, [&](uint32_t n) {
    if (IsNone(saverWindow)) saverWindow = headless.windows.FindByClass("Nightbloom");
    if (n == 100 || n == 300) headless.windows.Post(WindowEvent{saverWindow, WM_LBUTTONDOWN, 0, 0});
    if (n == 200) headless.system.verifyProvider = fake::Provider::Accept;
  });
  EXPECT_EQ(Run("/s"), 0);
  EXPECT_EQ(Count("VerifyScreenSavePwd"), 2u);
  EXPECT_GT(shell.framesRun, 250u);  // frames went on between the two checks
}

TEST_F(EndToEndTest, MouseMovesEndTheSaverOnlyAfterTheGracePeriod) {
  Window saverWindow{};
  headless.DriveClock(10, [&](uint32_t n) {
    if (IsNone(saverWindow)) saverWindow = headless.windows.FindByClass("Nightbloom");
    // A jump of 50 pixels every 100 ms.
    if (n % 10 == 0) {
      headless.system.cursor.x += 50;
      headless.windows.Post(WindowEvent{saverWindow, WM_MOUSEMOVE, 0, 0});
    }
  });
  const uint32_t start = headless.system.now;
  EXPECT_EQ(Run("/s"), 0);
  EXPECT_EQ(Count("VerifyScreenSavePwd"), 1u);
  EXPECT_GE(headless.system.now - start, GracePeriodMs);
  EXPECT_LE(headless.system.now - start, GracePeriodMs + 200);
}

TEST_F(EndToEndTest, ChangePasswordHandsOverAndExits) {
  EXPECT_EQ(Run("/a 1234"), 0);
  const auto calls = headless.world.CallsNamed("PwdChangePasswordA");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].texts[0], "SCRSAVE");
  EXPECT_NE(calls[0].args[0], 0);     // owned by the saver's hidden window
  EXPECT_NE(calls[0].args[0], 1234);  // not by the handle of the command line
  EXPECT_EQ(Count("DirectDrawEnumerateExA"), 0u);
  EXPECT_EQ(Count("RegOpenKeyExA"), 1u);  // the settings are read in this mode too
  EXPECT_EQ(headless.windows.WindowCount(), 0u);
}

TEST_F(EndToEndTest, RefusedTimerResolutionEndsBeforeAnyWindow) {
  headless.world.FailCall("timeBeginPeriod", static_cast<int32_t>(TIMERR_NOCANDO));
  for (const char* line : {"/s", "/c", "/a"}) {
    SCOPED_TRACE(line);
    headless.system.messageBoxes.clear();
    headless.world.FailCall("timeBeginPeriod", static_cast<int32_t>(TIMERR_NOCANDO));
    EXPECT_EQ(Run(line), 0);
    ASSERT_EQ(headless.system.messageBoxes.size(), 1u);
    EXPECT_EQ(headless.system.messageBoxes[0].text, "Timer error - need 1ms resolution.");
    EXPECT_EQ(headless.system.messageBoxes[0].caption, "Init");
    EXPECT_EQ(headless.system.messageBoxes[0].type, MB_ICONERROR);
    EXPECT_TRUE(IsNone(headless.system.messageBoxes[0].owner));
  }
  EXPECT_EQ(Count("CreateWindowExA"), 0u);
}

TEST_F(EndToEndTest, FailedEnumerationEndsInItsMessage) {
  headless.graphics.directDrawLoaded = false;
  EXPECT_EQ(Run("/s"), 0);
  ASSERT_EQ(headless.system.messageBoxes.size(), 1u);
  EXPECT_EQ(headless.system.messageBoxes[0].text, "Generic application error.");
  EXPECT_EQ(headless.system.messageBoxes[0].caption, "Nightbloom");
  EXPECT_EQ(headless.system.messageBoxes[0].type, MB_OK | MB_ICONERROR);
  EXPECT_EQ(Count("BeginScene"), 0u);
  // Exit code 0 as on Windows; the failure is kept for a program that must tell.
  EXPECT_EQ(shell.startFailure, ResultCode::NoDirectDrawModule);
}

TEST_F(EndToEndTest, NoCompatibleDeviceEndsInItsMessage) {
  // Devices that cannot blend additively are refused by the saver.
  for (auto& device : headless.graphics.drivers[0].devices) {
    device.emulation.dpcTriCaps.dwDestBlendCaps &= ~D3DPBLENDCAPS_ONE;
    device.hardware.dpcTriCaps.dwDestBlendCaps &= ~D3DPBLENDCAPS_ONE;
  }
  EXPECT_EQ(Run("/s"), 0);
  ASSERT_EQ(headless.system.messageBoxes.size(), 1u);
  EXPECT_EQ(headless.system.messageBoxes[0].text, ErrorMessageText(ResultCode::NoCompatibleDevices));
  EXPECT_EQ(Count("DirectSoundCreate"), 0u);
}

TEST_F(EndToEndTest, DisplayThatCannotStartEndsInTheGenericInitialisationError) {
  for (auto& device : headless.graphics.drivers[0].devices) device.creatable = false;
  headless.DriveClock(5);
  EXPECT_EQ(Run("/s"), 0);
  ASSERT_EQ(headless.system.messageBoxes.size(), 1u);
  EXPECT_EQ(headless.system.messageBoxes[0].text, "Generic initialization error.");
  EXPECT_EQ(headless.system.messageBoxes[0].type, MB_OK | MB_ICONERROR);
  // Cleaned up before the message: nothing of display, sound or textures is left.
  EXPECT_EQ(headless.world.LiveCount(), 0u);
  EXPECT_EQ(textureList.head, nullptr);
  EXPECT_EQ(headless.gdi.BitmapCount(), 0u);
  EXPECT_EQ(Count("SystemParametersInfoA"), 0u);
  EXPECT_EQ(shell.startFailure, ResultCode::InitFailed);
}

TEST_F(EndToEndTest, FirstDeviceFailingFallsBackSilentlyAndSavesTheDefault) {
  headless.graphics.drivers[0].devices[0].creatable = false;
  PressKeyAtPoll(5, 50);
  EXPECT_EQ(Run("/s"), 0);
  EXPECT_TRUE(headless.system.messageBoxes.empty());
  EXPECT_EQ(headless.registry.String(key, "C"), "Direct3D HAL");
  EXPECT_GT(Count("Flip"), 10u);
  EXPECT_EQ(shell.startFailure, 0);
}

TEST_F(EndToEndTest, MinimizedSaverPollsWithoutTicksOrFrames) {
  Window saverWindow{};
  uint32_t framesWhileMinimized = 0;
  headless.DriveClock(5, [&](uint32_t n) {
    if (IsNone(saverWindow)) saverWindow = headless.windows.FindByClass("Nightbloom");
    if (n == 10) headless.windows.Post(WindowEvent{saverWindow, WM_SIZE, SIZE_MINIMIZED, 0});
    if (n == 11) framesWhileMinimized = shell.framesRun;
    if (n == 200) {
      EXPECT_EQ(shell.framesRun, framesWhileMinimized);
      headless.windows.Post(WindowEvent{saverWindow, WM_SIZE, SIZE_RESTORED, 0});
    }
    if (n == 220) headless.windows.Post(WindowEvent{saverWindow, WM_KEYDOWN, 0, 0});
  });
  EXPECT_EQ(Run("/s"), 0);
  EXPECT_GT(shell.framesRun, framesWhileMinimized);
}

}  // namespace
}  // namespace nb
