// The system port of the Linux program without a display: an NT-type version (no password
// providers), the resources compiled into the program, the cursor count, the
// screensaver-running flag, and message boxes that go to the error stream.
#include "platform/sdl/sdl_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "resources/embedded.h"
#include "shell/saver_window.h"

namespace nb {
namespace {

class SdlSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { messages_ = std::tmpfile(); }
  void TearDown() override { std::fclose(messages_); }
  std::string Messages() {
    std::fflush(messages_);
    std::rewind(messages_);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof(buffer), messages_)) text += buffer;
    return text;
  }
  FramePacer pacer_ = MakeSystemFramePacer();
  SdlWindowSystem windows_{false, nullptr, pacer_, {}};
  SdlGdi gdi_{windows_};
  std::FILE* messages_ = nullptr;
};

TEST_F(SdlSystemTest, AnNtTypeSystemSoTheSaverEndsWithoutAPassword) {
  SdlSystem system(false, gdi_, SdlSystemOptions{true, messages_});
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = 100;
  EXPECT_FALSE(system.GetVersionExA(&info));
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(system.GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_TRUE(CheckPassword(system, Window{0x40000000}));
  int32_t accepted = 7;
  EXPECT_EQ(system.VerifyScreenSavePwd(NoWindow, &accepted), ProviderCall::NoLibrary);
  EXPECT_EQ(accepted, 7);
  EXPECT_EQ(system.PwdChangePasswordA("SCRSAVE", NoWindow), ProviderCall::NoLibrary);
}

TEST_F(SdlSystemTest, ResourcesAreTheOnesCompiledIn) {
  SdlSystem system(false, gdi_, SdlSystemOptions{true, messages_});
  const ResourceData wave = system.FindResourceData("WAV", 205);
  const EmbeddedResource* embedded = FindEmbeddedResource("WAV", 205);
  ASSERT_NE(embedded, nullptr);
  EXPECT_EQ(wave.data, embedded->data);
  EXPECT_EQ(wave.size, embedded->size);
  EXPECT_EQ(system.FindResourceData("wav", 206).data, nullptr);
  const Bitmap picture = system.LoadBitmapA(400);
  ASSERT_FALSE(IsNone(picture));
  BITMAP info{};
  ASSERT_EQ(gdi_.GetObjectA(picture, &info), static_cast<int32_t>(sizeof(BITMAP)));
  EXPECT_EQ(info.bmWidth, 152);
  EXPECT_EQ(info.bmHeight, 118);
  EXPECT_EQ(info.bmBitsPixel, 24);
  EXPECT_TRUE(gdi_.DeleteObject(picture));
  const Bitmap texture = system.LoadImageA(401, LR_CREATEDIBSECTION);
  ASSERT_EQ(gdi_.GetObjectA(texture, &info), static_cast<int32_t>(sizeof(BITMAP)));
  EXPECT_EQ(info.bmWidth, 8);
  EXPECT_NE(info.bmBits, nullptr);
  gdi_.DeleteObject(texture);
  EXPECT_TRUE(IsNone(system.LoadBitmapA(403)));
}

TEST_F(SdlSystemTest, CursorCountTimerAndTheRunningFlag) {
  SdlSystem system(false, gdi_, SdlSystemOptions{true, messages_});
  EXPECT_EQ(system.ShowCursor(false), -1);
  EXPECT_EQ(system.ShowCursor(true), 0);
  EXPECT_EQ(system.SetCursor(NoCursor), Cursor{1});
  EXPECT_EQ(system.SetCursor(Cursor{1}), NoCursor);
  POINT where{};
  EXPECT_FALSE(system.GetCursorPos(&where));  // no display, no pointer
  EXPECT_EQ(system.GetSystemMetrics(SM_CXSCREEN), 0);
  EXPECT_EQ(system.timeBeginPeriod(0), TIMERR_NOCANDO);
  EXPECT_EQ(system.timeBeginPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(system.timeEndPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(system.timeEndPeriod(1), TIMERR_NOCANDO);
  EXPECT_GT(system.GetCalendarTime(), 1600000000u);

  uint32_t previous = 9;
  EXPECT_TRUE(system.SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 1, &previous, 0));
  EXPECT_EQ(previous, 0u);
  EXPECT_TRUE(system.screenSaverHeldOff());
  EXPECT_TRUE(system.SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 0, &previous, 0));
  EXPECT_EQ(previous, 1u);
  EXPECT_FALSE(system.screenSaverHeldOff());
  EXPECT_FALSE(system.SystemParametersInfoA(1234, 0, nullptr, 0));

  // A show in a window, or in XScreenSaver's, leaves the desktop's saver alone.
  SdlSystem windowed(false, gdi_, SdlSystemOptions{false, messages_});
  windowed.SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 1, nullptr, 0);
  EXPECT_FALSE(windowed.screenSaverHeldOff());
}

TEST_F(SdlSystemTest, MessageBoxesWithoutADisplayGoToTheErrorStream) {
  SdlSystem system(false, gdi_, SdlSystemOptions{true, messages_});
  EXPECT_EQ(system.MessageBoxA(NoWindow, "Could not find any compatible devices.\n\nTry",
                               "Nightbloom", MB_OK | MB_ICONERROR),
            0);
  EXPECT_EQ(Messages(), "Nightbloom: Could not find any compatible devices.\n\nTry\n");
}

}  // namespace
}  // namespace nb
