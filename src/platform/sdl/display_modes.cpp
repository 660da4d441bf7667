// The mode list. Depends on display_modes.h.
#include "platform/sdl/display_modes.h"

#include <algorithm>

namespace nb {
namespace {

constexpr uint32_t maxSide = 8192;

bool Usable(ScreenSize s) {
  return s.width > 0 && s.height > 0 && s.width <= maxSide && s.height <= maxSide;
}

}  // namespace

ScreenSize PixelSize(ScreenSize desktop, const std::vector<ScreenSize>& reported,
                     bool logicalDesktop) {
  if (!logicalDesktop) return desktop;
  ScreenSize largest = desktop;
  for (const ScreenSize& s : reported) {
    if (s.width >= largest.width && s.height >= largest.height && Usable(s)) largest = s;
  }
  return largest;
}

std::vector<GlDisplayMode> DisplayModeList(ScreenSize desktop,
                                           const std::vector<ScreenSize>& reported,
                                           GlDisplayMode extra) {
  std::vector<ScreenSize> sizes;
  auto add = [&sizes](ScreenSize s) {
    if (!Usable(s)) return;
    for (const ScreenSize& known : sizes) {
      if (known.width == s.width && known.height == s.height) return;
    }
    sizes.push_back(s);
  };
  add(desktop);
  add(ScreenSize{640, 480});
  for (ScreenSize s : reported) add(s);
  std::stable_sort(sizes.begin(), sizes.end(), [](ScreenSize a, ScreenSize b) {
    return uint64_t{a.width} * a.height > uint64_t{b.width} * b.height;
  });
  const bool desktopUsable = Usable(desktop);
  std::vector<GlDisplayMode> modes;
  for (ScreenSize s : sizes) {
    const bool isDesktop = desktopUsable && s.width == desktop.width && s.height == desktop.height;
    const bool is640 = s.width == 640 && s.height == 480;
    // The screen's own size is its native 32-bit mode; a 16-bit copy of it is offered only
    // when it is also the 640 x 480 every screen has.
    if (!isDesktop || is640) modes.push_back({s.width, s.height, 16});
    modes.push_back({s.width, s.height, 32});
  }
  const auto same = [&extra](const GlDisplayMode& m) {
    return m.width == extra.width && m.height == extra.height &&
           m.bitsPerPixel == extra.bitsPerPixel;
  };
  if (Usable(ScreenSize{extra.width, extra.height}) && std::none_of(modes.begin(), modes.end(), same)) {
    const uint64_t area = uint64_t{extra.width} * extra.height;
    const auto larger = [area](const GlDisplayMode& m) { return uint64_t{m.width} * m.height >= area; };
    modes.insert(std::partition_point(modes.begin(), modes.end(), larger), extra);
  }
  return modes;
}

}  // namespace nb
