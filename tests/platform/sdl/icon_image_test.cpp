// The window's icon from the program's icon 101: the largest 32-bit image, rows the right
// way up; files that are not what they claim give no image.
#include "platform/sdl/icon_image.h"

#include <gtest/gtest.h>

#include "resources/embedded.h"

namespace nb {
namespace {

// One icon file with one image: the directory, its one entry, the image's header, its pixels
// (bottom row blue, the others half-transparent red) and its mask. Written byte by byte in
// the file's little-endian order.
std::vector<uint8_t> OneImageIco(int width, int height, uint16_t bits) {
  std::vector<uint8_t> f;
  auto put8 = [&f](uint32_t v) { f.push_back(static_cast<uint8_t>(v)); };
  auto put16 = [&](uint32_t v) { put8(v); put8(v >> 8); };
  auto put32 = [&](uint32_t v) { put16(v); put16(v >> 16); };
  const uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
  put16(0); put16(1); put16(1);                 // reserved, type icon, one image
  put8(w); put8(h); put8(0); put8(0);           // size, no palette, reserved
  put16(1); put16(bits);                        // planes, bits per pixel
  put32(40 + w * h * 4 + h * 4);                // bytes of the image
  put32(22);                                    // where the image starts
  put32(40); put32(w); put32(h * 2);            // header size, width, height with the mask
  put16(1); put16(bits);
  for (int i = 0; i < 6; ++i) put32(0);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) put32(y == 0 ? 0xFF0000FFu : 0x80FF0000u);
  }
  for (uint32_t y = 0; y < h; ++y) put32(0);
  return f;
}

TEST(IconImage, TheProgramsIconGivesItsLargestImage) {
  const EmbeddedResource* icon = FindEmbeddedResource("ICON", 101);
  ASSERT_NE(icon, nullptr);
  IconImage32 image;
  ASSERT_TRUE(DecodeLargestIcon(icon->data, icon->size, &image));
  EXPECT_EQ(image.width, 32u);
  EXPECT_EQ(image.height, 32u);
  EXPECT_EQ(image.argb.size(), 32u * 32u);
}

TEST(IconImage, RowsComeTopFirst) {
  const std::vector<uint8_t> file = OneImageIco(2, 3, 32);
  IconImage32 image;
  ASSERT_TRUE(DecodeLargestIcon(file.data(), file.size(), &image));
  EXPECT_EQ(image.argb[0], 0x80FF0000u);
  EXPECT_EQ(image.argb[2 * 2 + 1], 0xFF0000FFu);
}

TEST(IconImage, OtherOrDamagedFilesGiveNoImage) {
  IconImage32 image;
  const std::vector<uint8_t> good = OneImageIco(2, 2, 32);
  EXPECT_FALSE(DecodeLargestIcon(nullptr, 10, &image));
  EXPECT_FALSE(DecodeLargestIcon(good.data(), 5, &image));
  for (size_t cut = 6; cut < good.size(); cut += 7) {
    EXPECT_FALSE(DecodeLargestIcon(good.data(), cut, &image)) << cut;
    EXPECT_TRUE(image.argb.empty());
  }
  const std::vector<uint8_t> eightBit = OneImageIco(2, 2, 8);
  EXPECT_FALSE(DecodeLargestIcon(eightBit.data(), eightBit.size(), &image));
  std::vector<uint8_t> cursor = good;
  cursor[2] = 2;  // a cursor file, not an icon
  EXPECT_FALSE(DecodeLargestIcon(cursor.data(), cursor.size(), &image));
  std::vector<uint8_t> oddHeight = good;
  oddHeight[22 + 8] = 3;
  EXPECT_FALSE(DecodeLargestIcon(oddHeight.data(), oddHeight.size(), &image));
}

}  // namespace
}  // namespace nb
