// Packing colours into the pixel formats the graphics ports describe by bit masks. Shared by
// every adapter that keeps pixels in memory (the OpenGL device's stores, the fakes).
#pragma once

#include <cstdint>

#include "platform/graphics.h"

namespace nb {

// An RGB format of `bits` per pixel with the given channel masks; an alpha mask of 0 means
// no alpha channel.
DDPIXELFORMAT MakeRgbFormat(uint32_t bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha);

// An 8-bit channel value placed into the bits of `mask`, keeping its top bits.
uint32_t PackChannel(uint8_t value, uint32_t mask);

// The channel under `mask` widened to 8 bits; narrow channels repeat their bits downwards so
// that full intensity stays 255.
uint8_t UnpackChannel(uint32_t pixel, uint32_t mask);

}  // namespace nb
