// Fake system services: the clock wraps at 2^32 and can advance on every read, scripted
// cursor positions, password providers in their four behaviours, message boxes, and the
// resource table including the project's own resources when they are built in.
#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(FakeSystem, ClockWrapsAndStepsPerRead) {
  nb::fake::FakePlatform fake;
  fake.system.now = 0xFFFFFFF0u;
  const uint32_t start = fake.system.timeGetTime();
  fake.system.Advance(0x20);
  const uint32_t later = fake.system.timeGetTime();
  EXPECT_LT(later, start);                 // the counter wrapped
  EXPECT_EQ(later - start, 0x20u);         // the unsigned difference did not
  fake.system.stepPerRead = 17;
  const uint32_t a = fake.system.timeGetTime();
  const uint32_t b = fake.system.timeGetTime();
  EXPECT_EQ(b - a, 17u);
  EXPECT_EQ(fake.system.timeBeginPeriod(1), nb::TIMERR_NOERROR);
  EXPECT_EQ(fake.system.activePeriods, (std::vector<uint32_t>{1}));
  EXPECT_EQ(fake.system.timeEndPeriod(1), nb::TIMERR_NOERROR);
  EXPECT_EQ(fake.system.timeEndPeriod(1), nb::TIMERR_NOCANDO);
}

TEST(FakeSystem, CursorAndScreen) {
  nb::fake::FakePlatform fake;
  fake.system.cursorScript = {{10, 10}, {16, 10}};
  nb::POINT p{};
  ASSERT_TRUE(fake.system.GetCursorPos(&p));
  EXPECT_EQ(p.x, 10);
  ASSERT_TRUE(fake.system.GetCursorPos(&p));
  EXPECT_EQ(p.x, 16);
  ASSERT_TRUE(fake.system.GetCursorPos(&p));  // the last scripted position stays
  EXPECT_EQ(p.x, 16);
  EXPECT_EQ(fake.system.ShowCursor(false), -1);
  EXPECT_EQ(fake.system.ShowCursor(true), 0);
  EXPECT_EQ(fake.system.SetCursor(nb::NoCursor), nb::Cursor{0x20});
  EXPECT_EQ(fake.system.cursorShape, nb::NoCursor);
  EXPECT_EQ(fake.system.GetSystemMetrics(nb::SM_CXSCREEN), 640);
  int32_t previous = 5;
  ASSERT_TRUE(fake.system.SystemParametersInfoA(nb::SPI_SCREENSAVERRUNNING, 1, &previous, 0));
  EXPECT_EQ(previous, 0);
  EXPECT_TRUE(fake.system.screenSaverRunning);
}

TEST(FakeSystem, PasswordProvidersAndVersion) {
  nb::fake::FakePlatform fake;
  nb::OSVERSIONINFOA info{};
  EXPECT_FALSE(fake.system.GetVersionExA(&info));  // size not set
  info.dwOSVersionInfoSize = 148;
  fake.system.platformId = nb::VER_PLATFORM_WIN32_NT;
  ASSERT_TRUE(fake.system.GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, nb::VER_PLATFORM_WIN32_NT);

  int32_t accepted = -1;
  fake.system.verifyProvider = nb::fake::Provider::MissingLibrary;
  EXPECT_EQ(fake.system.VerifyScreenSavePwd(nb::NoWindow, &accepted), nb::ProviderCall::NoLibrary);
  fake.system.verifyProvider = nb::fake::Provider::MissingExport;
  EXPECT_EQ(fake.system.VerifyScreenSavePwd(nb::NoWindow, &accepted), nb::ProviderCall::NoExport);
  EXPECT_EQ(accepted, -1);
  fake.system.verifyProvider = nb::fake::Provider::Refuse;
  bool asked = false;
  fake.system.onVerify = [&](nb::Window) { asked = true; };
  EXPECT_EQ(fake.system.VerifyScreenSavePwd(nb::NoWindow, &accepted), nb::ProviderCall::Called);
  EXPECT_EQ(accepted, 0);
  EXPECT_TRUE(asked);
  fake.system.verifyProvider = nb::fake::Provider::Accept;
  EXPECT_EQ(fake.system.VerifyScreenSavePwd(nb::NoWindow, &accepted), nb::ProviderCall::Called);
  EXPECT_EQ(accepted, 1);

  EXPECT_EQ(fake.system.PwdChangePasswordA("SCRSAVE", nb::NoWindow), nb::ProviderCall::Called);
  EXPECT_EQ(fake.system.changeProviderNames, (std::vector<std::string>{"SCRSAVE"}));
  fake.system.changeProvider = nb::fake::Provider::MissingExport;
  EXPECT_EQ(fake.system.PwdChangePasswordA("SCRSAVE", nb::NoWindow), nb::ProviderCall::NoExport);

  EXPECT_EQ(fake.system.MessageBoxA(nb::NoWindow, "Not enough memory!", "Nightbloom", nb::MB_OK | nb::MB_ICONERROR),
            nb::IDOK);
  ASSERT_EQ(fake.system.messageBoxes.size(), 1u);
  EXPECT_EQ(fake.system.messageBoxes[0].type, 0x10u);
}

TEST(FakeSystem, ResourcesFromTheTable) {
  nb::fake::FakePlatform fake;
  fake.system.AddResource("WAV", 200, {'R', 'I', 'F', 'F'});
  nb::ResourceData wave = fake.system.FindResourceData("wav", 200);
  ASSERT_NE(wave.data, nullptr);
  EXPECT_EQ(wave.size, 4u);
  EXPECT_EQ(fake.system.FindResourceData("WAV", 201).data, nullptr);

  fake.system.AddBitmapResource(400, nb::fake::FakeBitmapData::Solid(152, 118, {1, 2, 3}));
  const nb::Bitmap first = fake.system.LoadBitmapA(400);
  const nb::Bitmap second = fake.system.LoadImageA(400, nb::LR_CREATEDIBSECTION);
  EXPECT_NE(first, second);  // each load is a new object
  nb::BITMAP info{};
  ASSERT_EQ(fake.gdi.GetObjectA(first, &info), static_cast<int32_t>(sizeof(nb::BITMAP)));
  EXPECT_EQ(info.bmBits, nullptr);  // a device-dependent bitmap shows no bits
  ASSERT_EQ(fake.gdi.GetObjectA(second, &info), static_cast<int32_t>(sizeof(nb::BITMAP)));
  EXPECT_EQ(info.bmWidth, 152);
  EXPECT_EQ(info.bmHeight, 118);
  EXPECT_EQ(info.bmBitsPixel, 24);
  EXPECT_EQ(info.bmWidthBytes, 456);
  const auto* bottomRow = static_cast<const uint8_t*>(info.bmBits);
  EXPECT_EQ(bottomRow[0], 3);  // blue first
  EXPECT_EQ(fake.system.LoadBitmapA(401), nb::NoBitmap);
}

TEST(FakeSystem, ProjectResourcesWhenBuiltIn) {
  nb::fake::FakePlatform fake;
  const size_t added = fake.system.LoadProjectResources();
  if (added == 0) GTEST_SKIP() << "this build has no embedded resources";
  for (uint32_t id = 200; id <= 205; ++id) {
    const nb::ResourceData wave = fake.system.FindResourceData("WAV", id);
    ASSERT_NE(wave.data, nullptr) << id;
    EXPECT_EQ(std::memcmp(wave.data, "RIFF", 4), 0);
  }
  for (uint32_t id : {400u, 401u, 402u, 404u, 405u, 406u, 407u}) {
    const nb::Bitmap bitmap = fake.system.LoadImageA(id, nb::LR_CREATEDIBSECTION);
    ASSERT_NE(bitmap, nb::NoBitmap) << id;
    nb::BITMAP info{};
    ASSERT_NE(fake.gdi.GetObjectA(bitmap, &info), 0);
    EXPECT_EQ(info.bmBitsPixel, 24) << id;
    if (id == 400) {
      EXPECT_EQ(info.bmWidth, 152);
      EXPECT_EQ(info.bmHeight, 118);
    }
    if (id == 401) {
      EXPECT_EQ(info.bmWidth, 8);
      // The centre of the soft dot is full white, its last column black.
      EXPECT_EQ(fake.gdi.FindBitmap(bitmap)->Pixel(3, 3), (nb::fake::Rgb{255, 255, 255}));
      EXPECT_EQ(fake.gdi.FindBitmap(bitmap)->Pixel(7, 3), (nb::fake::Rgb{0, 0, 0}));
    }
    fake.gdi.DeleteObject(bitmap);
  }
}

}  // namespace
