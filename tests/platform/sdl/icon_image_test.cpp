// The window's icon from the program's icon 101: the largest 32-bit image, rows the right
// way up; files that are not what they claim give no image.
#include "platform/sdl/icon_image.h"

#include <gtest/gtest.h>

#include "resources/embedded.h"

namespace nb {
namespace {

std::vector<uint8_t> OneImageIco(int width, int height, uint16_t bits) {
  std::vector<uint8_t> f = {0, 0, 1, 0, 1, 0};
  const uint32_t body = 40 + static_cast<uint32_t>(width * height * 4) + static_cast<uint32_t>(height * 4);
  auto put32 = [&f](uint32_t v) {
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  f.insert(f.end(), {static_cast<uint8_t>(width), static_cast<uint8_t>(height), 0, 0, 1, 0,
                     static_cast<uint8_t>(bits), 0});
  put32(body);
  put32(22);
  put32(40);
  put32(static_cast<uint32_t>(width));
  put32(static_cast<uint32_t>(height * 2));
  f.insert(f.end(), {1, 0, static_cast<uint8_t>(bits), 0});
  for (int i = 0; i < 6; ++i) put32(0);
  for (int y = 0; y < height; ++y) {   // bottom row first: the bottom row is blue
    for (int x = 0; x < width; ++x) put32(y == 0 ? 0xFF0000FFu : 0x80FF0000u);
  }
  for (int y = 0; y < height; ++y) put32(0);
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
