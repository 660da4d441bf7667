// The BMP reader: orientation and padding of well-formed files, and refusal of
// truncated or foreign ones without reading outside the buffer (the asan build
// turns any stray read into a failure).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "resources/bmp24.h"
#include "resources/embedded.h"

namespace nb {
namespace {

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A 3 x 2 file (rows padded from 9 to 12 bytes); each pixel's channels encode
// its position so orientation and channel order are checkable.
std::vector<uint8_t> SmallBmp(bool topDown) {
    std::vector<uint8_t> file(54 + 24, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<uint32_t>(file.size()));
    Put32(file, 10, 54);
    Put32(file, 14, 40);
    Put32(file, 18, 3);
    Put32(file, 22, topDown ? static_cast<uint32_t>(-2) : 2u);
    file[26] = 1;
    file[28] = 24;
    for (int row = 0; row < 2; ++row) {
        const int y = topDown ? row : 1 - row;  // image row stored at this file row
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = &file[54 + row * 12 + x * 3];
            p[0] = static_cast<uint8_t>(0xB0 + y * 16 + x);  // blue
            p[1] = static_cast<uint8_t>(0x60 + y * 16 + x);  // green
            p[2] = static_cast<uint8_t>(0x10 + y * 16 + x);  // red
        }
        for (int pad = 9; pad < 12; ++pad) file[54 + row * 12 + pad] = 0xEE;
    }
    return file;
}

void ExpectSmallImage(const std::vector<uint8_t>& rgb) {
    ASSERT_EQ(rgb.size(), 18u);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const uint8_t* p = &rgb[(y * 3 + x) * 3];
            EXPECT_EQ(p[0], 0x10 + y * 16 + x);
            EXPECT_EQ(p[1], 0x60 + y * 16 + x);
            EXPECT_EQ(p[2], 0xB0 + y * 16 + x);
        }
    }
}

TEST(DecodeBmp24, ReadsBottomUpAndTopDownRowsWithPadding) {
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        const std::vector<uint8_t> file = SmallBmp(topDown);
        uint32_t w = 0, h = 0;
        std::vector<uint8_t> rgb;
        ASSERT_EQ(DecodeBmp24(file.data(), file.size(), &w, &h, &rgb), 0);
        EXPECT_EQ(w, 3u);
        EXPECT_EQ(h, 2u);
        ExpectSmallImage(rgb);
    }
}

TEST(DecodeBmp24, RejectsEveryTruncationOfARealFile) {
    const EmbeddedResource* res = FindEmbeddedResource("BITMAP", 401);
    ASSERT_NE(res, nullptr);
    for (uint32_t length = 1; length < res->size; ++length) {
        // A fresh copy of exactly `length` bytes, so a read past it is caught.
        const std::vector<uint8_t> part(res->data, res->data + length);
        uint32_t w = 7, h = 7;
        std::vector<uint8_t> rgb(5, 1);
        EXPECT_EQ(DecodeBmp24(part.data(), part.size(), &w, &h, &rgb), BmpBadData) << length;
        EXPECT_EQ(w, 0u);
        EXPECT_EQ(h, 0u);
        EXPECT_TRUE(rgb.empty());
    }
}

TEST(DecodeBmp24, RejectsMalformedHeaders) {
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        int bytes;
    };
    const Case cases[] = {
        {"magic", 0, 'X', 1},
        {"header size below 40", 14, 12, 4},
        {"header size past the end", 14, 0xFFFFFFF0u, 4},
        {"zero width", 18, 0, 4},
        {"negative width", 18, static_cast<uint32_t>(-3), 4},
        {"huge width", 18, 0x7FFFFFFFu, 4},
        {"zero height", 22, 0, 4},
        {"most negative height", 22, 0x80000000u, 4},
        {"huge height", 22, 0x10000000u, 4},
        {"two planes", 26, 2, 2},
        {"32 bits", 28, 32, 2},
        {"8 bits", 28, 8, 2},
        {"RLE compression", 30, 1, 4},
        {"bitfields", 30, 3, 4},
        {"pixels inside the header", 10, 20, 4},
        {"pixels past the end", 10, 0xFFFFFFF0u, 4},
        {"rows run past the end", 10, 60, 4},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = SmallBmp(false);
        for (int i = 0; i < c.bytes; ++i) file[c.at + i] = static_cast<uint8_t>(c.value >> (8 * i));
        uint32_t w = 0, h = 0;
        std::vector<uint8_t> rgb;
        EXPECT_EQ(DecodeBmp24(file.data(), file.size(), &w, &h, &rgb), BmpBadData) << c.what;
        EXPECT_TRUE(rgb.empty()) << c.what;
    }
}

TEST(DecodeBmp24, NullArgumentsAreRefused) {
    const std::vector<uint8_t> file = SmallBmp(false);
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> rgb;
    EXPECT_EQ(DecodeBmp24(nullptr, file.size(), &w, &h, &rgb), BmpBadArgument);
    EXPECT_EQ(DecodeBmp24(file.data(), file.size(), nullptr, &h, &rgb), BmpBadArgument);
    EXPECT_EQ(DecodeBmp24(file.data(), file.size(), &w, nullptr, &rgb), BmpBadArgument);
    EXPECT_EQ(DecodeBmp24(file.data(), file.size(), &w, &h, nullptr), BmpBadArgument);
}

}  // namespace
}  // namespace nb
