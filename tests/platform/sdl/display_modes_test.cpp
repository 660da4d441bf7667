// The modes offered for a screen: its own size at 32 bits first among the largest, 640 x
// 480 at both depths on every screen, every other reported size at both depths.
#include "platform/sdl/display_modes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Text(const std::vector<nb::GlDisplayMode>& modes) {
  std::string text;
  for (const nb::GlDisplayMode& m : modes) {
    text += std::to_string(m.width) + "x" + std::to_string(m.height) + "x" +
            std::to_string(m.bitsPerPixel) + " ";
  }
  return text;
}

TEST(DisplayModes, DesktopNativeAtThirtyTwoOthersAtBothDepths) {
  const auto modes = nb::DisplayModeList({1920, 1080}, {{1920, 1080}, {1280, 720}, {1920, 1080},
                                                        {800, 600}, {3840, 2160}});
  EXPECT_EQ(Text(modes),
            "3840x2160x16 3840x2160x32 1920x1080x32 1280x720x16 1280x720x32 800x600x16 "
            "800x600x32 640x480x16 640x480x32 ");
}

TEST(DisplayModes, SixFortyByFourEightyIsAlwaysThere) {
  EXPECT_EQ(Text(nb::DisplayModeList({1280, 1024}, {})), "1280x1024x32 640x480x16 640x480x32 ");
  // A screen of exactly that size keeps its 16-bit mode too.
  EXPECT_EQ(Text(nb::DisplayModeList({640, 480}, {{640, 480}})), "640x480x16 640x480x32 ");
  // Smaller than 640 x 480: rendered at 640 x 480 and scaled down.
  EXPECT_EQ(Text(nb::DisplayModeList({320, 240}, {})), "640x480x16 640x480x32 320x240x32 ");
}

TEST(DisplayModes, UnusableSizesAreLeftOut) {
  EXPECT_EQ(Text(nb::DisplayModeList({0, 0}, {{9000, 100}, {100, 0}, {1024, 768}})),
            "1024x768x16 1024x768x32 640x480x16 640x480x32 ");
}

}  // namespace

namespace {

TEST(DisplayModes, AScaledOutputsNativeModeIsItsSizeInPixels) {
  // SDL's Wayland driver: a 1024x768 output at scale 2 has a 512x384 desktop, and lists
  // its own mode beside smaller ones of its own making.
  const std::vector<nb::ScreenSize> wayland{{1024, 768}, {864, 486}, {800, 600}, {640, 480}, {512, 384}};
  const nb::ScreenSize pixels = nb::PixelSize({512, 384}, wayland, true);
  EXPECT_EQ(pixels.width, 1024u);
  EXPECT_EQ(pixels.height, 768u);
  EXPECT_EQ(Text(nb::DisplayModeList(pixels, wayland)).substr(0, 11), "1024x768x32");
  // Unscaled, and without the output's own mode listed, the desktop is all there is.
  EXPECT_EQ(nb::PixelSize({1280, 720}, {{1280, 720}, {640, 480}}, true).width, 1280u);
  EXPECT_EQ(nb::PixelSize({512, 384}, {{512, 384}}, true).width, 512u);
  // X counts in pixels already: a larger mode the monitor could switch to is not its size.
  EXPECT_EQ(nb::PixelSize({1280, 720}, {{1920, 1080}, {1280, 720}}, false).width, 1280u);
}

TEST(DisplayModes, AnExtraShowsModeIsOfferedInItsPlace) {
  const nb::ScreenSize desktop{1280, 720};
  const std::vector<nb::ScreenSize> reported{{1280, 720}, {800, 600}};
  EXPECT_EQ(Text(nb::DisplayModeList(desktop, reported, {1024, 768, 32})),
            "1280x720x32 1024x768x32 800x600x16 800x600x32 640x480x16 640x480x32 ");
  // The desktop's own size at 16 bits is not offered by itself; asked for, it is.
  EXPECT_EQ(Text(nb::DisplayModeList(desktop, reported, {1280, 720, 16})),
            "1280x720x32 1280x720x16 800x600x16 800x600x32 640x480x16 640x480x32 ");
  EXPECT_EQ(Text(nb::DisplayModeList(desktop, reported, {800, 600, 16})),
            Text(nb::DisplayModeList(desktop, reported)));
}

}  // namespace
