// The saver window's input rules and the password flow: grace period, the movement
// threshold, keys and buttons, the password window, accepted and refused checks, the
// messages that must not end the saver, the password change.
#include <gtest/gtest.h>

#include "headless_platform.h"
#include "shell/saver_window.h"
#include "shell/shell.h"

namespace nb {
namespace {

class SaverWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetShellState();
    shell.platform = &headless.platform;
    shell.instance = Instance{0x400000};
    WNDCLASSA saverClass{};
    saverClass.style = CS_HREDRAW | CS_VREDRAW;
    saverClass.lpfnWndProc = SaverWindowProc;
    saverClass.hInstance = shell.instance;
    saverClass.lpszClassName = saverClassName;
    headless.windows.RegisterClassA(saverClass);
    saver = headless.windows.CreateWindowExA(0, saverClassName, "Nightbloom", WS_POPUP, 0, 0, 0, 0,
                                             NoWindow, shell.instance);
    shell.window = saver;
    headless.windows.ShowWindow(saver, SW_SHOWNORMAL);
    // As just before the loop: the saver runs, the cursor rests at (100, 100).
    headless.system.now = 10000;
    headless.system.cursor = POINT{100, 100};
    shell.lastCursor = POINT{100, 100};
    shell.graceStart = headless.system.now;
    shell.ready = true;
    shell.running = true;
    headless.system.cursorCount = -1;  // hidden by the start-up
  }
  void TearDown() override { ResetShellState(); }

  void MoveTo(int32_t x, int32_t y) {
    headless.system.cursor = POINT{x, y};
    headless.windows.Send(saver, WM_MOUSEMOVE, 0, MakeLParam(1, 1));
  }
  size_t PasswordChecks() const { return headless.world.CountCalls("VerifyScreenSavePwd"); }

  test::HeadlessPlatform headless;
  Window saver{};
};

TEST_F(SaverWindowTest, SizeFollowsMinimizeAndHide) {
  EXPECT_TRUE(shell.active);  // the first WM_SIZE of showing the window
  headless.windows.Send(saver, WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_FALSE(shell.active);
  headless.windows.Send(saver, WM_SIZE, SIZE_MAXIMIZED, 0);
  EXPECT_TRUE(shell.active);
  headless.windows.Send(saver, WM_SIZE, SIZE_MAXHIDE, 0);
  EXPECT_FALSE(shell.active);
  headless.windows.Send(saver, WM_SIZE, SIZE_MAXSHOW, 0);
  EXPECT_TRUE(shell.active);
}

TEST_F(SaverWindowTest, MovesWithinTheGracePeriodDoNotEndTheSaver) {
  headless.system.now = 10000 + GracePeriodMs - 1;
  MoveTo(400, 400);
  MoveTo(10, 10);
  EXPECT_EQ(PasswordChecks(), 0u);
  EXPECT_TRUE(shell.running);
  headless.system.now = 10000 + GracePeriodMs;
  MoveTo(400, 400);
  EXPECT_EQ(PasswordChecks(), 1u);
  EXPECT_FALSE(shell.running);
}

TEST_F(SaverWindowTest, FivePixelsNeverEndTheSaverSixDo) {
  headless.system.now = 20000;
  MoveTo(105, 105);
  MoveTo(110, 110);  // a slow drift: measured from the previous message, not the start
  MoveTo(105, 110);
  EXPECT_EQ(PasswordChecks(), 0u);
  EXPECT_EQ(shell.lastCursor.x, 105);
  MoveTo(105, 116);
  EXPECT_EQ(PasswordChecks(), 1u);
  EXPECT_FALSE(shell.running);
}

TEST_F(SaverWindowTest, MessageCoordinatesAreNotUsed) {
  headless.system.now = 20000;
  headless.windows.Send(saver, WM_MOUSEMOVE, 0, MakeLParam(500, 500));
  EXPECT_EQ(PasswordChecks(), 0u);
}

TEST_F(SaverWindowTest, KeysAndButtonPressesEndTheSaverEvenInTheGracePeriod) {
  for (uint32_t message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
    SCOPED_TRACE(message);
    SetUp();
    headless.system.verifyProvider = fake::Provider::Refuse;
    const size_t before = PasswordChecks();
    headless.windows.Send(saver, message, 0, 0);
    EXPECT_EQ(PasswordChecks(), before + 1);
  }
}

TEST_F(SaverWindowTest, OtherInputLeavesTheSaverRunning) {
  headless.system.now = 20000;
  for (uint32_t message : {WM_SYSKEYDOWN, WM_KEYUP, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP,
                           WM_MOUSEWHEEL, WM_ACTIVATEAPP, WM_CLOSE, WM_QUIT}) {
    headless.windows.Send(saver, message, 0, 0);
  }
  EXPECT_EQ(PasswordChecks(), 0u);
  EXPECT_TRUE(shell.running);
  EXPECT_TRUE(headless.windows.IsWindow(saver));  // WM_CLOSE does not destroy it
}

TEST_F(SaverWindowTest, AcceptedPasswordEndsTheSaver) {
  Window ownerSeen{};
  bool saverVisibleDuringCheck = true;
  int32_t cursorDuringCheck = -1;
  headless.system.onVerify = [&](Window owner) {
    ownerSeen = owner;
    saverVisibleDuringCheck = headless.windows.Find(saver)->visible;
    cursorDuringCheck = headless.system.cursorCount;
  };
  headless.windows.Send(saver, WM_KEYDOWN, 0, 0);

  // The check ran over the black full-screen password window, cursor shown, saver hidden.
  const auto creations = headless.world.CallsNamed("CreateWindowExA");
  ASSERT_EQ(creations.size(), 2u);
  const auto& password = creations[1];
  EXPECT_EQ(password.texts[0], passwordClassName);
  EXPECT_EQ(password.args[1], int64_t{WS_POPUP});
  EXPECT_EQ(password.args[4], 640);
  EXPECT_EQ(password.args[5], 480);
  const WNDCLASSA* passwordClass = headless.windows.FindClass(passwordClassName);
  ASSERT_NE(passwordClass, nullptr);
  EXPECT_EQ(passwordClass->background, ClassBackground::Black);
  EXPECT_FALSE(IsNone(ownerSeen));
  EXPECT_NE(ownerSeen, saver);
  EXPECT_FALSE(saverVisibleDuringCheck);
  EXPECT_EQ(cursorDuringCheck, 0);

  EXPECT_FALSE(shell.running);
  EXPECT_FALSE(shell.active);
  EXPECT_FALSE(shell.ready);
  EXPECT_FALSE(headless.windows.IsWindow(saver));
  EXPECT_FALSE(headless.windows.IsWindow(ownerSeen));
}

TEST_F(SaverWindowTest, SecondKeyWhileThePasswordIsUpDoesNothing) {
  headless.system.verifyProvider = fake::Provider::Refuse;
  headless.system.onVerify = [&](Window) {
    EXPECT_TRUE(shell.passwordUp);
    headless.system.cursor = POINT{300, 200};
    headless.windows.Send(saver, WM_KEYDOWN, 0, 0);
    headless.windows.Send(saver, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(shell.lastCursor.x, 300);  // only the cursor is followed
  };
  headless.windows.Send(saver, WM_KEYDOWN, 0, 0);
  EXPECT_EQ(PasswordChecks(), 1u);
  EXPECT_EQ(headless.world.CountCalls("CreateWindowExA"), 2u);
}

TEST_F(SaverWindowTest, RefusedPasswordRestoresTheShowWithAFreshGracePeriod) {
  headless.system.verifyProvider = fake::Provider::Refuse;
  headless.system.now = 30000;
  headless.system.cursor = POINT{250, 260};
  headless.world.ClearCalls();
  headless.windows.Send(saver, WM_KEYDOWN, 0, 0);

  EXPECT_TRUE(shell.running);
  EXPECT_FALSE(shell.passwordUp);
  EXPECT_TRUE(shell.active);
  EXPECT_EQ(shell.graceStart, 30000u);
  EXPECT_EQ(shell.lastCursor.x, 250);
  EXPECT_EQ(shell.lastCursor.y, 260);
  EXPECT_EQ(headless.system.cursorCount, -1);  // hidden again
  EXPECT_TRUE(headless.windows.Find(saver)->visible);
  EXPECT_TRUE(IsNone(headless.windows.FindByClass(passwordClassName)));

  std::vector<int64_t> shows;
  for (const auto& call : headless.world.CallsNamed("ShowWindow")) {
    if (call.args[0] == static_cast<int64_t>(static_cast<uintptr_t>(saver))) shows.push_back(call.args[1]);
  }
  EXPECT_EQ(shows, (std::vector<int64_t>{SW_HIDE, SW_SHOW, SW_SHOWMAXIMIZED}));

  // Movement is ignored again for the new grace period; a new key asks again.
  headless.system.now = 30000 + GracePeriodMs - 1;
  MoveTo(600, 10);
  EXPECT_EQ(PasswordChecks(), 1u);
  headless.windows.Send(saver, WM_KEYDOWN, 0, 0);
  EXPECT_EQ(PasswordChecks(), 2u);
  EXPECT_TRUE(shell.running);  // a second declaration of the password class did no harm
}

TEST_F(SaverWindowTest, WindowsNtAcceptsWithoutAsking) {
  headless.system.platformId = VER_PLATFORM_WIN32_NT;
  headless.system.verifyProvider = fake::Provider::Refuse;
  headless.windows.Send(saver, WM_KEYDOWN, 0, 0);
  EXPECT_EQ(PasswordChecks(), 0u);
  EXPECT_FALSE(shell.running);
  // The password window was still created and destroyed again.
  EXPECT_EQ(headless.world.CountCalls("CreateWindowExA"), 2u);
  EXPECT_TRUE(IsNone(headless.windows.FindByClass(passwordClassName)));
}

TEST_F(SaverWindowTest, MissingProviderCountsAsAccepted) {
  for (auto provider : {fake::Provider::MissingLibrary, fake::Provider::MissingExport}) {
    SetUp();
    headless.system.verifyProvider = provider;
    headless.windows.Send(saver, WM_LBUTTONDOWN, 0, 0);
    EXPECT_FALSE(shell.running);
  }
}

TEST_F(SaverWindowTest, CursorHiddenOnlyWhileActiveAndReady) {
  EXPECT_EQ(headless.windows.Send(saver, WM_SETCURSOR, 0, 0), 1);
  EXPECT_EQ(headless.system.cursorShape, NoCursor);
  headless.system.cursorShape = Cursor{0x20};
  shell.ready = false;
  EXPECT_EQ(headless.windows.Send(saver, WM_SETCURSOR, 0, 0), 0);
  EXPECT_EQ(headless.system.cursorShape, Cursor{0x20});
}

TEST_F(SaverWindowTest, MinimumTrackingSize) {
  MINMAXINFO info{};
  headless.windows.Send(saver, WM_GETMINMAXINFO, 0, reinterpret_cast<intptr_t>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 100);
  EXPECT_EQ(info.ptMinTrackSize.y, 100);
}

TEST_F(SaverWindowTest, MenuLoopsPauseAndNest) {
  headless.windows.Send(saver, WM_ENTERMENULOOP, 0, 0);
  headless.windows.Send(saver, WM_ENTERMENULOOP, 0, 0);
  EXPECT_FALSE(shell.ready);
  headless.windows.Send(saver, WM_EXITMENULOOP, 0, 0);
  EXPECT_FALSE(shell.ready);
  EXPECT_EQ(shell.pauseDepth, 1);
  headless.windows.Send(saver, WM_EXITMENULOOP, 0, 0);
  EXPECT_TRUE(shell.ready);
}

TEST(PasswordChange, CallsTheProviderWithScrsave) {
  test::HeadlessPlatform headless;
  ChangePassword(headless.system, Window{0x99});
  EXPECT_EQ(headless.system.changeProviderNames, std::vector<std::string>{"SCRSAVE"});
  const auto calls = headless.world.CallsNamed("PwdChangePasswordA");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], 0x99);
  headless.system.changeProvider = fake::Provider::MissingLibrary;
  ChangePassword(headless.system, Window{0x99});  // silently nothing
  EXPECT_EQ(headless.system.changeProviderNames.size(), 1u);
}

}  // namespace
}  // namespace nb
