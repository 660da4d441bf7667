// 24-bit BMP reader; see bmp24.h.
#include "resources/bmp24.h"

namespace nb {
namespace {

// Larger images are not ours; the bound also keeps every size product in range.
constexpr int64_t maxSide = 16384;

uint32_t Read16(const unsigned char* p) { return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8); }

uint32_t Read32(const unsigned char* p) { return Read16(p) | (Read16(p + 2) << 16); }

}  // namespace

int32_t DecodeBmp24(const unsigned char* data, size_t size, uint32_t* width, uint32_t* height,
                    std::vector<uint8_t>* pixels) {
    if (!width || !height || !pixels) return BmpBadArgument;
    *width = 0;
    *height = 0;
    pixels->clear();
    if (!data) return BmpBadArgument;

    constexpr size_t fileHeader = 14;
    constexpr size_t infoHeader = 40;
    if (size < fileHeader + infoHeader) return BmpBadData;
    if (data[0] != 'B' || data[1] != 'M') return BmpBadData;
    const uint64_t pixelOffset = Read32(data + 10);
    const uint64_t headerSize = Read32(data + 14);
    if (headerSize < infoHeader || fileHeader + headerSize > size) return BmpBadData;
    const int64_t w = static_cast<int32_t>(Read32(data + 18));
    const int64_t h = static_cast<int32_t>(Read32(data + 22));
    if (Read16(data + 26) != 1 || Read16(data + 28) != 24 || Read32(data + 30) != 0) return BmpBadData;
    if (w <= 0 || w > maxSide || h == 0 || h > maxSide || h < -maxSide) return BmpBadData;
    const bool bottomUp = h > 0;
    const int64_t rows = bottomUp ? h : -h;
    const uint64_t stride = (static_cast<uint64_t>(w) * 3u + 3u) & ~static_cast<uint64_t>(3u);
    if (pixelOffset < fileHeader + headerSize) return BmpBadData;
    if (pixelOffset > size || stride * static_cast<uint64_t>(rows) > size - pixelOffset) return BmpBadData;

    pixels->resize(static_cast<size_t>(w * rows * 3));
    for (int64_t y = 0; y < rows; ++y) {
        const int64_t sourceRow = bottomUp ? rows - 1 - y : y;
        const unsigned char* src = data + pixelOffset + static_cast<uint64_t>(sourceRow) * stride;
        uint8_t* dst = pixels->data() + y * w * 3;
        for (int64_t x = 0; x < w; ++x) {
            dst[x * 3 + 0] = src[x * 3 + 2];
            dst[x * 3 + 1] = src[x * 3 + 1];
            dst[x * 3 + 2] = src[x * 3 + 0];
        }
    }
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(rows);
    return 0;
}

}  // namespace nb
