// The program's X error handler on a real X server: errors that a window destroyed under the
// program causes pass quietly, any other error is reported once on stderr.
#include "platform/sdl/x_link.h"

#include <gtest/gtest.h>

#include <string>

// After gtest: Xlib defines macros (None, Bool, ...) that gtest's own names collide with.
#include <X11/Xlib.h>

namespace nb {
namespace {

class XErrorHandlerTest : public testing::Test {
 protected:
  void SetUp() override {
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs an X display";
    InstallXErrorHandler();
  }
  void TearDown() override {
    if (display) XCloseDisplay(display);
  }
  ::Window VanishedWindow() {
    const ::Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10,
                                                10, 0, 0, 0);
    XDestroyWindow(display, window);
    XSync(display, False);
    return window;
  }
  Display* display = nullptr;
};

TEST_F(XErrorHandlerTest, AWindowGoneUnderTheProgramIsNoErrorToReport) {
  testing::internal::CaptureStderr();
  const ::Window gone = VanishedWindow();
  XMapWindow(display, gone);
  // What SDL and Mesa do on a window that is already gone: a context made on it (refused),
  // then freed (refused again, as a context that does not exist).
  GC context = XCreateGC(display, gone, 0, nullptr);
  XFreeGC(display, context);
  XSync(display, False);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(XErrorHandlerTest, OtherErrorsAreReportedOnceAndSurvived) {
  testing::internal::CaptureStderr();
  const Pixmap bogus = 0x3fffff;
  XFreePixmap(display, bogus);
  XFreePixmap(display, bogus);
  XSync(display, False);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("nightbloom: X error 'BadPixmap"), std::string::npos) << said;
  EXPECT_EQ(said.find("X error", said.find("X error") + 1), std::string::npos) << said;
}

}  // namespace
}  // namespace nb
