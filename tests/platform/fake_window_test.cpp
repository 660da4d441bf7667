// Fake windows and GDI together, as the preview uses them: a child window inside a
// foreign parent, messages delivered to the class procedure, destruction of the parent
// reaching the child's procedure, and a stretched bitmap really filling the child.
#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

nb::fake::FakePlatform* current = nullptr;
std::vector<uint32_t> seen;

intptr_t PlainProc(nb::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  seen.push_back(message);
  if (message == nb::WM_DESTROY) {
    current->windows.PostQuitMessage(0);
    return 0;
  }
  if (message == nb::WM_GETMINMAXINFO) {
    reinterpret_cast<nb::MINMAXINFO*>(lParam)->ptMinTrackSize = {100, 100};
  }
  return current->windows.DefWindowProcA(window, message, wParam, lParam);
}

class FakeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    current = &fake;
    seen.clear();
  }
  nb::fake::FakePlatform fake;
};

TEST_F(FakeWindowTest, ChildWindowLivesAndDiesWithItsParent) {
  const nb::WNDCLASSA windowClass{nb::CS_HREDRAW | nb::CS_VREDRAW, PlainProc, nb::Instance{1}, 0,
                                  nb::ClassBackground::Black, "Class1"};
  ASSERT_NE(fake.windows.RegisterClassA(windowClass), 0);
  EXPECT_EQ(fake.windows.RegisterClassA(windowClass), 0);  // already declared
  const nb::Window parent = fake.windows.AddForeignWindow({100, 200, 252, 318});
  nb::RECT rect{};
  ASSERT_TRUE(fake.windows.GetWindowRect(parent, &rect));
  const nb::Window child =
      fake.windows.CreateWindowExA(0, "class1", "Nightbloom", nb::WS_CHILD | nb::WS_VISIBLE, 0, 0,
                                   rect.right - rect.left, rect.bottom - rect.top, parent, nb::Instance{1});
  ASSERT_FALSE(nb::IsNone(child));
  EXPECT_EQ(seen, (std::vector<uint32_t>{nb::WM_GETMINMAXINFO, nb::WM_CREATE}));
  ASSERT_TRUE(fake.windows.GetWindowRect(child, &rect));
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.bottom, 318);
  ASSERT_TRUE(fake.windows.GetClientRect(child, &rect));
  EXPECT_EQ(rect.right, 152);
  EXPECT_EQ(rect.bottom, 118);

  nb::WindowEvent event{};
  EXPECT_FALSE(fake.windows.PeekMessageA(&event, nb::NoWindow, 0, 0, nb::PM_NOREMOVE));
  fake.windows.Post({child, nb::WM_CLOSE, 0, 0});
  ASSERT_TRUE(fake.windows.PeekMessageA(&event, nb::NoWindow, 0, 0, nb::PM_REMOVE | nb::PM_NOYIELD));
  fake.windows.DispatchMessageA(event);  // the default handling destroys the window
  EXPECT_FALSE(fake.windows.IsWindow(child));
  ASSERT_TRUE(fake.windows.PeekMessageA(&event, nb::NoWindow, 0, 0, nb::PM_REMOVE));
  EXPECT_EQ(event.message, nb::WM_QUIT);
  EXPECT_EQ(fake.windows.quitCode, 0);

  const nb::Window again = fake.windows.CreateWindowExA(0, "Class1", "", nb::WS_CHILD | nb::WS_VISIBLE, 0, 0, 10,
                                                        10, parent, nb::Instance{1});
  seen.clear();
  fake.windows.DestroyWindow(parent);  // the panel closes
  EXPECT_FALSE(fake.windows.IsWindow(again));
  EXPECT_EQ(seen, (std::vector<uint32_t>{nb::WM_DESTROY}));
  EXPECT_EQ(fake.windows.CreateWindowExA(0, "Class1", "", nb::WS_CHILD, 0, 0, 1, 1, parent, nb::Instance{1}),
            nb::NoWindow);
}

TEST_F(FakeWindowTest, ShowSendsSizeAndUpdatePaints) {
  const nb::WNDCLASSA windowClass{0, PlainProc, nb::Instance{1}, 101, nb::ClassBackground::None, "Nightbloom"};
  ASSERT_NE(fake.windows.RegisterClassA(windowClass), 0);
  const nb::Window window =
      fake.windows.CreateWindowExA(0, "Nightbloom", "Nightbloom", nb::WS_POPUP, 0, 0, 0, 0, nb::NoWindow, nb::Instance{1});
  seen.clear();
  fake.windows.ShowWindow(window, nb::SW_SHOWNORMAL);
  fake.windows.UpdateWindow(window);
  fake.windows.UpdateWindow(window);  // nothing left to paint
  EXPECT_EQ(seen, (std::vector<uint32_t>{nb::WM_SIZE, nb::WM_PAINT}));
  seen.clear();
  EXPECT_TRUE(fake.windows.ShowWindow(window, nb::SW_HIDE));
  EXPECT_EQ(seen.size(), 0u);
}

TEST_F(FakeWindowTest, StretchBltFillsTheWindow) {
  const nb::WNDCLASSA windowClass{0, PlainProc, nb::Instance{1}, 0, nb::ClassBackground::Black, "Class1"};
  fake.windows.RegisterClassA(windowClass);
  const nb::Window parent = fake.windows.AddForeignWindow({0, 0, 300, 50});
  const nb::Window child =
      fake.windows.CreateWindowExA(0, "Class1", "", nb::WS_CHILD | nb::WS_VISIBLE, 0, 0, 300, 50, parent, nb::Instance{1});
  nb::fake::FakeBitmapData picture = nb::fake::FakeBitmapData::Solid(2, 1, {255, 0, 0});
  picture.SetPixel(1, 0, {0, 0, 255});
  const nb::Bitmap bitmap = fake.gdi.AddBitmap(picture);

  const nb::Dc windowDc = fake.gdi.GetDC(child);
  ASSERT_FALSE(nb::IsNone(windowDc));
  EXPECT_EQ(fake.gdi.SetStretchBltMode(windowDc, nb::COLORONCOLOR), nb::BLACKONWHITE);
  const nb::Dc memory = fake.gdi.CreateCompatibleDC(windowDc);
  nb::BITMAP info{};
  ASSERT_NE(fake.gdi.GetObjectA(bitmap, &info), 0);
  const nb::Bitmap old = fake.gdi.SelectObject(memory, bitmap);
  ASSERT_TRUE(fake.gdi.StretchBlt(windowDc, 0, 0, 300, 50, memory, 0, 0, info.bmWidth, info.bmHeight, nb::SRCCOPY));
  fake.gdi.SelectObject(memory, old);
  fake.gdi.DeleteDC(memory);
  EXPECT_EQ(fake.gdi.ReleaseDC(child, windowDc), 1);
  EXPECT_EQ(fake.gdi.OpenDcCount(), 0u);

  nb::fake::PixelStore* canvas = fake.windows.Canvas(child);
  EXPECT_EQ(canvas->Get(0, 0), (nb::fake::Rgb{255, 0, 0}));
  EXPECT_EQ(canvas->Get(149, 49), (nb::fake::Rgb{255, 0, 0}));
  EXPECT_EQ(canvas->Get(150, 0), (nb::fake::Rgb{0, 0, 255}));
  EXPECT_EQ(canvas->Get(299, 49), (nb::fake::Rgb{0, 0, 255}));
  EXPECT_TRUE(fake.gdi.DeleteObject(bitmap));
}

TEST_F(FakeWindowTest, IdleHookFeedsAPollingLoop) {
  int polls = 0;
  fake.windows.onQueueEmpty = [&](uint32_t emptyPolls) {
    polls = static_cast<int>(emptyPolls);
    if (emptyPolls == 3) fake.windows.PostQuitMessage(7);
  };
  nb::WindowEvent event{};
  int taken = 0;
  while (taken < 10) {
    if (!fake.windows.PeekMessageA(&event, nb::NoWindow, 0, 0, nb::PM_REMOVE)) continue;
    ++taken;
    if (event.message == nb::WM_QUIT) break;
  }
  EXPECT_EQ(polls, 3);
  EXPECT_EQ(event.wParam, 7u);
}

}  // namespace
