// Reading .ico files. Depends on icon_image.h.
#include "platform/sdl/icon_image.h"

namespace nb {
namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool DecodeLargestIcon(const uint8_t* data, size_t size, IconImage32* out) {
  *out = IconImage32{};
  if (!data || size < 6 || Le16(data) != 0 || Le16(data + 2) != 1) return false;
  const size_t count = Le16(data + 4);
  if (size < 6 + count * 16) return false;
  const uint8_t* best = nullptr;
  size_t bestBytes = 0;
  uint32_t bestSide = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + 6 + i * 16;
    const uint32_t side = entry[0] == 0 ? 256u : entry[0];  // 0 stands for 256
    const uint32_t bytes = Le32(entry + 8);
    const uint32_t offset = Le32(entry + 12);
    if (offset > size || bytes > size - offset || bytes < 40) continue;
    if (side > bestSide) {
      best = data + offset;
      bestBytes = bytes;
      bestSide = side;
    }
  }
  if (!best) return false;
  // A BITMAPINFOHEADER whose height counts the colour and the mask bitmap together.
  const uint32_t headerSize = Le32(best);
  const auto width = static_cast<int32_t>(Le32(best + 4));
  const auto doubleHeight = static_cast<int32_t>(Le32(best + 8));
  const uint16_t bits = Le16(best + 14);
  const uint32_t compression = Le32(best + 16);
  if (headerSize < 40 || headerSize > bestBytes || width <= 0 || width > 256 ||
      doubleHeight <= 0 || doubleHeight % 2 != 0 || doubleHeight / 2 > 256 || bits != 32 ||
      compression != 0) {
    return false;
  }
  const auto height = static_cast<uint32_t>(doubleHeight / 2);
  const size_t pixelBytes = static_cast<size_t>(width) * height * 4;
  if (bestBytes - headerSize < pixelBytes) return false;
  const uint8_t* rows = best + headerSize;
  out->width = static_cast<uint32_t>(width);
  out->height = height;
  out->argb.resize(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = rows + static_cast<size_t>(height - 1 - y) * width * 4;  // bottom-up
    for (int32_t x = 0; x < width; ++x) {
      out->argb[static_cast<size_t>(y) * width + x] = Le32(row + static_cast<size_t>(x) * 4);
    }
  }
  return true;
}

}  // namespace nb
