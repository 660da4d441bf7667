// The figures a show prints over itself with --fps: the bitmap font and its panel, the meter
// that counts frames and CPU time on clocks of the test's own, and the panel drawn into a
// frame texture headless, where every pixel outside it must stay as the show left it.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <gtest/gtest.h>

#include <bitset>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "platform/gl/frame_rate_meter.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/gl_present.h"
#include "platform/gl/gl_text_overlay.h"
#include "platform/gl/text_panel.h"

namespace nb {
namespace {

uint32_t InkBits(char c) {
  uint32_t bits = 0;
  for (uint8_t row : GlyphRows(c)) bits += static_cast<uint32_t>(std::bitset<8>(row).count());
  return bits;
}

TEST(TextPanel, EveryDigitAndLetterHasAGlyphOfItsOwn) {
  std::set<std::array<uint8_t, glyphHeight>> seen;
  const std::string known = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ.:%-/";
  for (char c : known) {
    const auto glyph = GlyphRows(c);
    EXPECT_GT(InkBits(c), 0u) << c;
    for (uint8_t row : glyph) EXPECT_EQ(row & ~0x1Fu, 0u) << "wider than five columns: " << c;
    EXPECT_TRUE(seen.insert(glyph).second) << "the same glyph twice: " << c;
  }
  // Small letters look like capitals; anything else is a blank.
  EXPECT_EQ(GlyphRows('f'), GlyphRows('F'));
  EXPECT_EQ(GlyphRows('z'), GlyphRows('Z'));
  for (char c : {' ', '#', '\n', '\0', static_cast<char>(0xE9)}) EXPECT_EQ(InkBits(c), 0u);
}

TEST(TextPanel, LinesOneUnderTheOtherInkOnGround) {
  const std::vector<std::string> lines = {"FPS: 8", "CPU: 17%"};
  const TextPanel panel = RenderTextPanel(lines);
  // Eight cells wide without the last blank column; two lines without the last blank rows.
  ASSERT_EQ(panel.width, 2 * panelPadding + 8 * cellWidth - 1);
  ASSERT_EQ(panel.height, 2 * panelPadding + 2 * cellHeight - 2);
  ASSERT_EQ(panel.rgba.size(), size_t{panel.width} * panel.height * 4);
  uint32_t ink = 0;
  uint32_t wrong = 0;
  for (uint32_t y = 0; y < panel.height; ++y) {
    for (uint32_t x = 0; x < panel.width; ++x) {
      // Which glyph pixel, if any, this is.
      bool want = false;
      if (x >= panelPadding && y >= panelPadding) {
        const uint32_t column = (x - panelPadding) / cellWidth;
        const uint32_t row = (y - panelPadding) / cellHeight;
        const uint32_t gx = (x - panelPadding) % cellWidth;
        const uint32_t gy = (y - panelPadding) % cellHeight;
        if (row < lines.size() && column < lines[row].size() && gx < glyphWidth &&
            gy < glyphHeight) {
          want = (GlyphRows(lines[row][column])[gy] >> (glyphWidth - 1 - gx)) & 1;
        }
      }
      const uint8_t* p = panel.rgba.data() + (size_t{y} * panel.width + x) * 4;
      const auto& expected = want ? panelInk : panelGround;
      if (!std::equal(expected.begin(), expected.end(), p)) ++wrong;
      ink += want;
    }
  }
  EXPECT_EQ(wrong, 0u);
  uint32_t bits = 0;
  for (const std::string& line : lines) {
    for (char c : line) bits += InkBits(c);
  }
  EXPECT_EQ(ink, bits);
  EXPECT_EQ(RenderTextPanel({}).width, 0u);
  EXPECT_EQ(RenderTextPanel({}).rgba.size(), 0u);
}

TEST(TextPanel, ScaleAndPlaceFollowThePictureHeight) {
  EXPECT_EQ(TextPanelScale(0), 1u);
  EXPECT_EQ(TextPanelScale(480), 1u);
  EXPECT_EQ(TextPanelScale(720), 2u);
  EXPECT_EQ(TextPanelScale(1080), 3u);
  const TextPanel panel = RenderTextPanel({"FPS: 60.0", "CPU: 42%"});
  const PanelPlace at1080 = TextPanelPlace(panel, 1080);
  EXPECT_EQ(at1080.width, panel.width * 3);
  EXPECT_EQ(at1080.height, panel.height * 3);
  EXPECT_EQ(at1080.left, 12);
  EXPECT_EQ(at1080.top + static_cast<int32_t>(at1080.height), 1080 - 12);  // bottom-left
}

struct MeterClocks {
  uint64_t wall = 5000000;
  uint64_t cpu = 100;
  FrameRateMeter Make() {
    return FrameRateMeter([this] { return wall; }, [this] { return cpu; });
  }
};

TEST(FrameRateMeter, FramesAndCpuShareOfEachWholeSecond) {
  MeterClocks clocks;
  FrameRateMeter meter = clocks.Make();
  EXPECT_EQ(meter.lines(), (std::vector<std::string>{"FPS: -", "CPU: -"}));
  meter.FrameShown();  // opens the first second
  for (int i = 1; i < 60; ++i) {
    clocks.wall += 16667;
    clocks.cpu += 7000;
    meter.FrameShown();
  }
  // 59 frames after the first, 0.983 s: not a whole second yet.
  EXPECT_EQ(meter.lines()[0], "FPS: -");
  clocks.wall += 16667;
  clocks.cpu += 7000;
  meter.FrameShown();  // 60 frames in 1.00002 s, 0.42 s of CPU
  EXPECT_EQ(meter.lines(), (std::vector<std::string>{"FPS: 60.0", "CPU: 42%"}));
  // A slower second: 20 frames, one core busy.
  for (int i = 0; i < 20; ++i) {
    clocks.wall += 50000;
    clocks.cpu += 50000;
    meter.FrameShown();
  }
  EXPECT_EQ(meter.lines()[0], "FPS: 20.0");
  EXPECT_EQ(meter.lines()[1], "CPU: 100%");
  // And one on several threads: 1.5 s of CPU time in a second.
  for (int i = 0; i < 10; ++i) {
    clocks.wall += 100000;
    clocks.cpu += 150000;
    meter.FrameShown();
  }
  EXPECT_EQ(meter.lines(), (std::vector<std::string>{"FPS: 10.0", "CPU: 150%"}));
}

TEST(FrameRateMeter, TheSystemClocksMove) {
  FrameRateMeter meter = MakeSystemFrameRateMeter();
  meter.FrameShown();
  volatile double sink = 0;
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1100)) {
    sink = sink + std::sqrt(static_cast<double>(sink) + 1.0);
  }
  meter.FrameShown();
  // One busy second and a bit: a frame rate under 1 and some CPU share.
  double fps = 0;
  ASSERT_EQ(std::sscanf(meter.lines()[0].c_str(), "FPS: %lf", &fps), 1) << meter.lines()[0];
  EXPECT_GT(fps, 0.2);
  EXPECT_LT(fps, 1.0);
  EXPECT_NE(meter.lines()[1], "CPU: -");
  EXPECT_NE(meter.lines()[1], "CPU: 0%");
}

// A texture of the current context filled with one colour.
GLuint FilledTexture(GLenum format, uint32_t width, uint32_t height, uint8_t grey) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  std::vector<uint8_t> rgba(size_t{width} * height * 4, grey);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), static_cast<GLsizei>(width),
               static_cast<GLsizei>(height), 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return texture;
}

class GlOverlay : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    context_ = CreateHeadlessGlContext(&error);
    ASSERT_TRUE(context_) << error;
    ASSERT_TRUE(context_->MakeCurrent());
  }
  void TearDown() override {
    if (context_ && context_->MakeCurrent()) overlay_.Release();
  }
  std::shared_ptr<GlContext> context_;
  GlTextOverlay overlay_;
};

TEST_F(GlOverlay, ThePanelLandsInTheBottomLeftCornerAndNothingElseChanges) {
  const uint32_t width = 160;
  const uint32_t height = 720;  // scale 2: every font pixel is 2 x 2
  const GLuint texture = FilledTexture(GL_RGBA8, width, height, 128);
  const std::vector<std::string> lines = {"FPS: 8", "CPU: 1%"};
  ASSERT_TRUE(overlay_.Draw(texture, width, height, lines));
  std::vector<uint8_t> bgra;
  ASSERT_TRUE(ReadTextureBgra(texture, width, height, &bgra));
  const TextPanel panel = RenderTextPanel(lines);
  const PanelPlace place = TextPanelPlace(panel, height);
  const double keep = 1.0 - panelGround[3] / 255.0;
  uint32_t outsideChanged = 0;
  uint32_t insideWrong = 0;
  uint32_t white = 0;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = bgra.data() + (size_t{y} * width + x) * 4;
      const int px = static_cast<int>(x) - place.left;
      const int py = static_cast<int>(y) - place.top;
      if (px < 0 || py < 0 || px >= static_cast<int>(place.width) ||
          py >= static_cast<int>(place.height)) {
        if (p[0] != 128 || p[1] != 128 || p[2] != 128) ++outsideChanged;
        continue;
      }
      const uint8_t* q = panel.rgba.data() + (size_t(py / 2) * panel.width + size_t(px / 2)) * 4;
      const bool ink = q[3] == 255;
      const int want = ink ? 255 : static_cast<int>(std::lround(128 * keep));
      if (std::abs(p[0] - want) > 1 || std::abs(p[1] - want) > 1 || std::abs(p[2] - want) > 1) {
        ++insideWrong;
      }
      white += ink;
    }
  }
  EXPECT_EQ(outsideChanged, 0u);
  EXPECT_EQ(insideWrong, 0u);
  uint32_t bits = 0;
  for (const std::string& line : lines) {
    for (char c : line) bits += InkBits(c);
  }
  EXPECT_EQ(white, bits * 4);
  glDeleteTextures(1, &texture);
}

TEST_F(GlOverlay, SixteenBitFramesAndChangingText) {
  const uint32_t width = 320;
  const uint32_t height = 240;
  auto drawn = [&](const std::string& text) {
    const GLuint texture = FilledTexture(GL_RGB565, width, height, 0);
    std::vector<uint8_t> bgra;
    EXPECT_TRUE(overlay_.Draw(texture, width, height, {text}));
    EXPECT_TRUE(ReadTextureBgra(texture, width, height, &bgra));
    glDeleteTextures(1, &texture);
    return bgra;
  };
  const std::vector<uint8_t> first = drawn("FPS: 1");
  // The same text again gives the same picture (the panel kept); other text another one.
  EXPECT_EQ(drawn("FPS: 1"), first);
  const std::vector<uint8_t> other = drawn("FPS: 7");
  EXPECT_NE(other, first);
  // White ink on a 5-6-5 target is full white; the black ground stays black.
  uint32_t whites = 0;
  uint32_t lit = 0;
  for (size_t i = 0; i < other.size(); i += 4) {
    if (other[i] == 255 && other[i + 1] == 255 && other[i + 2] == 255) ++whites;
    if (other[i] | other[i + 1] | other[i + 2]) ++lit;
  }
  EXPECT_EQ(whites, InkBits('F') + InkBits('P') + InkBits('S') + InkBits(':') + InkBits('7'));
  EXPECT_EQ(lit, whites);
}

}  // namespace
}  // namespace nb
