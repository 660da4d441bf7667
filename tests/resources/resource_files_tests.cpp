// The embedded resource files: presence and lookup, the texture set's sizes,
// brightest values and shapes, the picture and icon formats, and the waves'
// headers and levels, the configuration dialog's template. Runs on every platform
// from the embedded copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_template.h"
#include "resources/bmp24.h"
#include "resources/embedded.h"

namespace nb {
namespace {

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    int Channel(uint32_t x, uint32_t y, int c) const { return rgb[(y * width + x) * 3 + c]; }
    int Grey(uint32_t x, uint32_t y) const { return Channel(x, y, 0); }
    int Brightest() const {
        int m = 0;
        for (uint8_t v : rgb) m = v > m ? v : m;
        return m;
    }
};

Image LoadBitmapResource(int id) {
    Image image;
    const EmbeddedResource* res = FindEmbeddedResource("BITMAP", id);
    EXPECT_NE(res, nullptr) << "bitmap " << id;
    if (res) {
        EXPECT_EQ(DecodeBmp24(res->data, res->size, &image.width, &image.height, &image.rgb), 0) << id;
    }
    return image;
}

uint32_t Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const unsigned char* p) { return Le16(p) | (Le16(p + 2) << 16); }

TEST(EmbeddedResources, EveryResourceOfTheSaverIsPresentAndLookupIsExact) {
    const int bitmaps[] = {400, 401, 402, 404, 405, 406, 407};
    for (int id : bitmaps) EXPECT_NE(FindEmbeddedResource("BITMAP", id), nullptr) << id;
    for (int id = 200; id <= 205; ++id) EXPECT_NE(FindEmbeddedResource("WAV", id), nullptr) << id;
    EXPECT_NE(FindEmbeddedResource("ICON", 101), nullptr);
    EXPECT_NE(FindEmbeddedResource("DIALOG", 151), nullptr);
    EXPECT_EQ(EmbeddedResources().size(), 15u);

    // Resource types compare like Windows' do: without regard to case.
    EXPECT_EQ(FindEmbeddedResource("wav", 203), FindEmbeddedResource("WAV", 203));
    EXPECT_EQ(FindEmbeddedResource("BITMAP", 403), nullptr);
    EXPECT_EQ(FindEmbeddedResource("WAV", 401), nullptr);
    EXPECT_EQ(FindEmbeddedResource("BITMAPS", 401), nullptr);
    EXPECT_EQ(FindEmbeddedResource(nullptr, 401), nullptr);
    const EmbeddedResource* wave = FindEmbeddedResource("WAV", 205);
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->id, 205);
    EXPECT_EQ(std::memcmp(wave->data, "RIFF", 4), 0);
}

TEST(Textures, StarSpriteMatchesItsTableExactly) {
    static const int table[8][8] = {
        {0, 25, 53, 64, 53, 25, 0, 0},        {25, 75, 113, 128, 113, 75, 25, 0},
        {53, 113, 165, 191, 165, 113, 53, 0}, {64, 128, 191, 255, 191, 128, 64, 0},
        {53, 113, 165, 191, 165, 113, 53, 0}, {25, 75, 113, 128, 113, 75, 25, 0},
        {0, 25, 53, 64, 53, 25, 0, 0},        {0, 0, 0, 0, 0, 0, 0, 0},
    };
    const Image image = LoadBitmapResource(401);
    ASSERT_EQ(image.width, 8u);
    ASSERT_EQ(image.height, 8u);
    for (uint32_t y = 0; y < 8; ++y) {
        for (uint32_t x = 0; x < 8; ++x) {
            for (int c = 0; c < 3; ++c) EXPECT_EQ(image.Channel(x, y, c), table[y][x]) << x << "," << y;
        }
    }
}

TEST(Textures, SizesBrightestValuesAndTints) {
    struct Expect {
        int id;
        uint32_t size;
        int brightest;
        bool tinted;
    };
    const Expect expected[] = {
        {402, 32, 69, true}, {404, 16, 227, false}, {405, 32, 96, false}, {406, 16, 124, false}, {407, 16, 99, true},
    };
    for (const Expect& e : expected) {
        const Image image = LoadBitmapResource(e.id);
        ASSERT_EQ(image.width, e.size) << e.id;
        ASSERT_EQ(image.height, e.size) << e.id;
        EXPECT_EQ(image.Brightest(), e.brightest) << e.id;
        int largestSpread = 0;
        for (uint32_t y = 0; y < e.size; ++y) {
            for (uint32_t x = 0; x < e.size; ++x) {
                const int r = image.Channel(x, y, 0), g = image.Channel(x, y, 1), b = image.Channel(x, y, 2);
                const int hi = std::max({r, g, b}), lo = std::min({r, g, b});
                largestSpread = std::max(largestSpread, hi - lo);
            }
        }
        if (e.tinted) {
            // Faint: visible in the numbers, never a colour of its own.
            EXPECT_GT(largestSpread, 0) << e.id;
            EXPECT_LE(largestSpread, 10) << e.id;
        } else {
            EXPECT_EQ(largestSpread, 0) << e.id;
        }
    }
}

TEST(Textures, SmokePuffHasAThreePixelBlackMargin) {
    const Image image = LoadBitmapResource(402);
    ASSERT_EQ(image.width, 32u);
    int innerRing = 0;
    for (uint32_t y = 0; y < 32; ++y) {
        for (uint32_t x = 0; x < 32; ++x) {
            const bool margin = x < 3 || y < 3 || x > 28 || y > 28;
            const int v = std::max({image.Channel(x, y, 0), image.Channel(x, y, 1), image.Channel(x, y, 2)});
            if (margin) {
                EXPECT_EQ(v, 0) << x << "," << y;
            }
        }
    }
    // The puff itself reaches well out from the middle, not a dot in the centre.
    for (uint32_t i = 6; i < 26; ++i) innerRing = std::max({innerRing, image.Grey(i, 8), image.Grey(8, i)});
    EXPECT_GT(innerRing, 10);
}

TEST(Textures, SparkleArmsCrossAtTheCentreAndFadeToTheCorners) {
    const Image image = LoadBitmapResource(404);
    ASSERT_EQ(image.width, 16u);
    for (uint32_t y : {7u, 8u}) {
        for (uint32_t x : {7u, 8u}) {
            EXPECT_GE(image.Grey(x, y), 226);
            EXPECT_LE(image.Grey(x, y), 227);
        }
    }
    for (auto [x, y] : {std::pair{0u, 0u}, {15u, 0u}, {0u, 15u}, {15u, 15u}}) {
        EXPECT_GE(image.Grey(x, y), 20) << x << "," << y;
        EXPECT_LE(image.Grey(x, y), 30) << x << "," << y;
    }
    // Half-way out along each of the four arms.
    for (auto [x, y] : {std::pair{4u, 4u}, {11u, 4u}, {4u, 11u}, {11u, 11u}}) {
        EXPECT_GE(image.Grey(x, y), 110) << x << "," << y;
        EXPECT_LE(image.Grey(x, y), 170) << x << "," << y;
    }
    // Between the arms: the middles of the edges and points two off the diagonals.
    for (auto [x, y] : {std::pair{0u, 7u}, {7u, 0u}, {15u, 8u}, {8u, 15u}, {7u, 3u}, {3u, 8u}, {12u, 7u}}) {
        EXPECT_GE(image.Grey(x, y), 5) << x << "," << y;
        EXPECT_LE(image.Grey(x, y), 40) << x << "," << y;
    }
}

TEST(Textures, SmokeBandTilesVerticallyBetweenDarkMargins) {
    const Image image = LoadBitmapResource(406);
    ASSERT_EQ(image.width, 16u);
    int topBrightest = 0, bottomBrightest = 0;
    for (uint32_t x = 0; x < 16; ++x) {
        // Row 15 is followed by row 0 of the next copy along a trail.
        EXPECT_LE(std::abs(image.Grey(x, 0) - image.Grey(x, 15)), 12) << "column " << x;
        topBrightest = std::max(topBrightest, image.Grey(x, 0));
        bottomBrightest = std::max(bottomBrightest, image.Grey(x, 15));
    }
    EXPECT_GE(topBrightest, 100);
    EXPECT_GE(bottomBrightest, 100);
    for (uint32_t y = 0; y < 16; ++y) {
        EXPECT_LE(image.Grey(0, y), 15) << y;
        EXPECT_LE(image.Grey(15, y), 15) << y;
        EXPECT_GT(image.Grey(7, y), 4 * std::max(image.Grey(0, y), 1)) << y;
    }
}

TEST(Textures, CloudFillsItsSquareWithSoftEdgesAndBlobDarkensToTheEdges) {
    const Image cloud = LoadBitmapResource(405);
    ASSERT_EQ(cloud.width, 32u);
    int lit = 0;
    int border = 0;
    for (uint32_t y = 0; y < 32; ++y) {
        for (uint32_t x = 0; x < 32; ++x) {
            lit += cloud.Grey(x, y) >= 20 ? 1 : 0;
            if (x == 0 || y == 0 || x == 31 || y == 31) border = std::max(border, cloud.Grey(x, y));
        }
    }
    EXPECT_GE(lit, 32 * 32 / 2);  // the cloud covers most of the square
    EXPECT_LE(border, 8);         // but a sprite's straight edges never show

    const Image blob = LoadBitmapResource(407);
    ASSERT_EQ(blob.width, 16u);
    int edge = 0;
    for (uint32_t i = 0; i < 16; ++i) {
        for (int c = 0; c < 3; ++c) {
            edge = std::max({edge, blob.Channel(i, 0, c), blob.Channel(i, 15, c), blob.Channel(0, i, c),
                             blob.Channel(15, i, c)});
        }
    }
    EXPECT_LT(edge * 4, blob.Brightest());
}

TEST(Picture, IsA152By118NightScene) {
    const Image image = LoadBitmapResource(400);
    ASSERT_EQ(image.width, 152u);
    ASSERT_EQ(image.height, 118u);
    long sum = 0;
    int bright = 0;
    for (size_t i = 0; i < image.rgb.size(); i += 3) {
        const int v = std::max({image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]});
        sum += v;
        if (v >= 200) ++bright;
    }
    EXPECT_LT(sum / static_cast<long>(image.width * image.height), 60) << "the sky should be dark";
    EXPECT_GT(bright, 40) << "the bursts should stand out";
}

TEST(Icon, HoldsA16And32PixelImageThatWindowsCanRead) {
    const EmbeddedResource* icon = FindEmbeddedResource("ICON", 101);
    ASSERT_NE(icon, nullptr);
    const unsigned char* d = icon->data;
    ASSERT_GE(icon->size, 6u + 2 * 16u);
    EXPECT_EQ(Le16(d), 0u);
    EXPECT_EQ(Le16(d + 2), 1u);
    ASSERT_EQ(Le16(d + 4), 2u);
    const uint32_t sides[] = {16, 32};
    for (int i = 0; i < 2; ++i) {
        const unsigned char* entry = d + 6 + 16 * i;
        EXPECT_EQ(entry[0], sides[i]);
        EXPECT_EQ(entry[1], sides[i]);
        EXPECT_EQ(Le16(entry + 4), 1u);
        EXPECT_EQ(Le16(entry + 6), 32u);
        const uint32_t bytes = Le32(entry + 8), offset = Le32(entry + 12);
        ASSERT_LE(static_cast<uint64_t>(offset) + bytes, icon->size);
        const unsigned char* header = d + offset;
        EXPECT_EQ(Le32(header), 40u);
        EXPECT_EQ(Le32(header + 4), sides[i]);
        EXPECT_EQ(Le32(header + 8), 2 * sides[i]) << "colour and mask heights together";
        EXPECT_EQ(Le16(header + 14), 32u);
        const uint32_t mask = ((sides[i] + 31) / 32) * 4 * sides[i];
        EXPECT_EQ(bytes, 40 + sides[i] * sides[i] * 4 + mask);
    }
}

TEST(Waves, HeadersSizesAndLevels) {
    const uint32_t dataBytes[] = {17788, 17788, 17788, 37952, 37954, 92224};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(200 + i);
        const EmbeddedResource* wave = FindEmbeddedResource("WAV", 200 + i);
        ASSERT_NE(wave, nullptr);
        const unsigned char* d = wave->data;
        ASSERT_EQ(wave->size, 44u + dataBytes[i]);
        EXPECT_EQ(std::memcmp(d, "RIFF", 4), 0);
        EXPECT_EQ(Le32(d + 4), wave->size - 8);
        EXPECT_EQ(std::memcmp(d + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(Le32(d + 16), 16u);
        EXPECT_EQ(Le16(d + 20), 1u);
        EXPECT_EQ(Le16(d + 22), 1u);
        EXPECT_EQ(Le32(d + 24), 22050u);
        EXPECT_EQ(Le32(d + 28), 44100u);
        EXPECT_EQ(Le16(d + 32), 2u);
        EXPECT_EQ(Le16(d + 34), 16u);
        EXPECT_EQ(std::memcmp(d + 36, "data", 4), 0);
        ASSERT_EQ(Le32(d + 40), dataBytes[i]);

        const uint32_t count = dataBytes[i] / 2;
        std::vector<int> samples(count);
        for (uint32_t s = 0; s < count; ++s) samples[s] = static_cast<int16_t>(Le16(d + 44 + 2 * s));
        int peak = 0;
        double sum = 0.0, energy = 0.0;
        for (int s : samples) {
            peak = std::max(peak, std::abs(s));
            sum += s;
            energy += static_cast<double>(s) * s;
        }
        // Many voices sum in the mixer: each wave keeps well below full scale.
        EXPECT_LT(peak, 9830) << "peak must stay below 30% of full scale";
        EXPECT_GT(peak, 3277) << "a sound should be heard";
        EXPECT_LT(std::abs(sum / count), 100.0) << "DC offset";
        EXPECT_GT(energy / count, 500.0 * 500.0) << "RMS far too low: silent or a lone spike";
        // No click when a voice starts or ends.
        EXPECT_LE(std::abs(samples.front()), 64);
        EXPECT_LE(std::abs(samples.back()), 64);
    }
}

// The template the Linux program shows: what the resource compiler makes of the
// script's statement, as a plain DLGTEMPLATE that the platform's template reader takes.
TEST(Dialog151, EmbeddedTemplateHoldsTheConfigurationDialog) {
    const EmbeddedResource* res = FindEmbeddedResource("DIALOG", 151);
    ASSERT_NE(res, nullptr);
    DialogTemplate dialog;
    ASSERT_EQ(ParseDialogTemplate(res->data, res->size, &dialog), 0);
    EXPECT_EQ(dialog.style, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_ABSALIGN | DS_SETFONT);
    EXPECT_EQ(dialog.exStyle, WS_EX_TOOLWINDOW);
    EXPECT_EQ(dialog.x, 100);
    EXPECT_EQ(dialog.y, 100);
    EXPECT_EQ(dialog.cx, 169);
    EXPECT_EQ(dialog.cy, 177);
    EXPECT_EQ(dialog.className, "");
    EXPECT_EQ(dialog.title, "Nightbloom Configuration");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.fontName, "MS Sans Serif");

    struct Control {
        int16_t id;
        const char* cls;
        const char* text;
        uint16_t ordinal;
        uint32_t style, exStyle;
        int16_t x, y, cx, cy;
    };
    const uint32_t child = WS_CHILD | WS_VISIBLE;
    const uint32_t combo = child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    const Control expected[] = {
        {IDOK, "BUTTON", "OK", 0, child | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 112, 7, 50, 14},
        {IDCANCEL, "BUTTON", "Cancel", 0, child | BS_PUSHBUTTON | WS_TABSTOP, 0, 112, 23, 50, 14},
        {1009, "BUTTON", "Video Config", 0, child | BS_PUSHBUTTON | WS_TABSTOP,
         WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME, 112, 39, 50, 41},
        {-1, "STATIC", "", 400, child | SS_BITMAP, 0, 7, 7, 101, 73},
        {1010, "COMBOBOX", "", 0, combo, 0, 85, 91, 71, 47},
        {-1, "BUTTON", "Options", 0, child | BS_GROUPBOX, 0, 7, 82, 155, 88},
        {-1, "STATIC", "Number of Particles:", 0, child | SS_LEFT | WS_GROUP, 0, 15, 93, 64, 8},
        {-1, "STATIC", "Amount of Smoke:", 0, child | SS_LEFT | WS_GROUP, 0, 16, 111, 59, 8},
        {1012, "COMBOBOX", "", 0, combo, 0, 85, 108, 71, 40},
        {1014, "BUTTON", "Use Sound", 0, child | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 15, 127, 51, 10},
        {-1, "STATIC",
         "For best results, adjust the gamma on your 3D card so you can just barely see the unlit smoke left by "
         "the fireworks.",
         0, child | SS_LEFT | WS_GROUP, 0, 13, 141, 141, 25},
    };
    ASSERT_EQ(dialog.items.size(), std::size(expected));
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        const DialogItemTemplate& item = dialog.items[i];
        const Control& c = expected[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(static_cast<int16_t>(item.id), c.id);
        EXPECT_EQ(item.className, c.cls);
        EXPECT_EQ(item.text, c.text);
        EXPECT_EQ(item.textOrdinal, c.ordinal);
        EXPECT_EQ(item.style, c.style);
        EXPECT_EQ(item.exStyle, c.exStyle);
        EXPECT_EQ(item.x, c.x);
        EXPECT_EQ(item.y, c.y);
        EXPECT_EQ(item.cx, c.cx);
        EXPECT_EQ(item.cy, c.cy);
    }
}

}  // namespace
}  // namespace nb
