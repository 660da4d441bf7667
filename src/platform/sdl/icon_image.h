// The largest 32-bit image of an .ico file (the program's icon 101), as the window's icon:
// the directory and each image's header are checked against the file before a pixel is
// read; anything else (PNG images, other depths, a truncated file) gives no image.
// Depends on the standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nb {

struct IconImage32 {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> argb;  // 0xAARRGGBB, top row first
};

// False (and an empty image) when the file holds no 32-bit image that can be read.
bool DecodeLargestIcon(const uint8_t* data, size_t size, IconImage32* out);

}  // namespace nb
