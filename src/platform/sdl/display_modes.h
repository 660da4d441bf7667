// The display modes the Linux program offers for one screen. None of them switches the
// screen: each is a size the show is rendered at, then scaled to the screen with its
// aspect kept. They are the screen's own size at 32 bits (its native resolution), 640 x
// 480 at 16 and 32 bits on every screen (the size the saver picks by default), and every
// other size the screen reports, at 16 and 32 bits; largest first.
// Depends on gl_device.h (GlDisplayMode) only.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gl/gl_device.h"

namespace nb {

struct ScreenSize {
  uint32_t width = 0;
  uint32_t height = 0;
};

// The screen's size in pixels. logicalDesktop: the desktop size is counted in the logical
// units of a scaled output (SDL's Wayland driver), and SDL lists the output's own mode,
// in pixels, beside it: the largest reported size that is at least as large on both
// sides. Otherwise (and when no such size is reported) the desktop size is in pixels.
ScreenSize PixelSize(ScreenSize desktop, const std::vector<ScreenSize>& reported,
                     bool logicalDesktop);

// extra: a mode to offer as well (the mode an extra show of --monitors each is told to
// use, whatever this screen reports); zero for none.
// desktop: the screen's current size; reported: the sizes its modes list (in any order,
// repeats allowed). Sizes of zero or beyond what the device renders (8192) are left out.
std::vector<GlDisplayMode> DisplayModeList(ScreenSize desktop,
                                           const std::vector<ScreenSize>& reported,
                                           GlDisplayMode extra = {0, 0, 0});

}  // namespace nb
