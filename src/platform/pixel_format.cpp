#include "platform/pixel_format.h"

#include <bit>

namespace nb {

DDPIXELFORMAT MakeRgbFormat(uint32_t bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_RGB | (alpha != 0 ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = red;
    f.dwGBitMask = green;
    f.dwBBitMask = blue;
    f.dwRGBAlphaBitMask = alpha;
    return f;
}

uint32_t PackChannel(uint8_t value, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const uint32_t v = width >= 8 ? static_cast<uint32_t>(value) << (width - 8)
                                  : static_cast<uint32_t>(value) >> (8 - width);
    return (v << shift) & mask;
}

uint8_t UnpackChannel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const uint32_t v = (pixel & mask) >> shift;
    if (width >= 8) {
        return static_cast<uint8_t>(v >> (width - 8));
    }
    uint32_t wide = 0;
    int filled = 0;
    while (filled < 8) {
        wide = (wide << width) | v;
        filled += width;
    }
    return static_cast<uint8_t>(wide >> (filled - 8));
}

}  // namespace nb
