// Images of the scene drawn on the headless OpenGL device, each compared with what the
// camera, the sprite and ribbon geometry and the textures say the pixels must be. The
// reference samples the texture as the device holds it (5-6-5) bilinearly with wrapping,
// at each pixel centre mapped back into the world; tolerances are stated per test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "render_support.h"
#include "scene/scene.h"
#include "show/show.h"

namespace nb {
namespace {

// Texture "401" as tabled, rows from the top.
const uint8_t star[8][8] = {
    {0, 25, 53, 64, 53, 25, 0, 0},        {25, 75, 113, 128, 113, 75, 25, 0},
    {53, 113, 165, 191, 165, 113, 53, 0}, {64, 128, 191, 255, 191, 128, 64, 0},
    {53, 113, 165, 191, 165, 113, 53, 0}, {25, 75, 113, 128, 113, 75, 25, 0},
    {0, 25, 53, 64, 53, 25, 0, 0},        {0, 0, 0, 0, 0, 0, 0, 0}};

// Texture "406", the red channel of its 16 x 16 pixels (it is grey).
std::vector<float> BandTexture() {
  std::unique_ptr<MemoryGdi> gdi = std::make_unique<MemoryGdi>();
  EmbeddedSystem system(*gdi);
  const Bitmap bitmap = system.LoadImageA(406, LR_CREATEDIBSECTION);
  std::vector<float> values(16 * 16, 0.0f);
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 16; ++x) {
      values[y * 16 + x] = static_cast<float>(gdi->BitmapPixel(bitmap, x, y) >> 16);
    }
  }
  return values;
}

// A value as the red channel of a 5-6-5 texture keeps it, widened back to 8 bits.
float Red565(float value) {
  const int q = static_cast<int>(value) >> 3;
  return static_cast<float>((q << 3) | (q >> 2));
}

// Bilinear sample with wrap addressing of a size x size texture, texel centres at
// (i + 0.5) / size.
float Sample(const std::vector<float>& texels, int size, float u, float v) {
  const float s = u * static_cast<float>(size) - 0.5f;
  const float t = v * static_cast<float>(size) - 0.5f;
  const float s0 = std::floor(s);
  const float t0 = std::floor(t);
  const float fs = s - s0;
  const float ft = t - t0;
  auto at = [&](float x, float y) {
    const int ix = ((static_cast<int>(x) % size) + size) % size;
    const int iy = ((static_cast<int>(y) % size) + size) % size;
    return texels[iy * size + ix];
  };
  return (at(s0, t0) * (1 - fs) + at(s0 + 1, t0) * fs) * (1 - ft) +
         (at(s0, t0 + 1) * (1 - fs) + at(s0 + 1, t0 + 1) * fs) * ft;
}

class SceneImageTest : public ::testing::Test {
 protected:
  static constexpr uint32_t width = 1280;
  static constexpr uint32_t height = 960;

  void SetUp() override {
    std::string error;
    ASSERT_EQ(SceneStage::Open(width, height, 32, &stage_, &error), DD_OK) << error;
    settings.particleLevel = 2;
    settings.smokeLevel = 2;
    show.hooks = {};
    SimInit(1);
    stage_->Tick();
    ClearAllLists();  // the sky stars too: only what a test adds is drawn
  }
  void TearDown() override {
    ClearAllLists();
    stage_.reset();
  }
  void Draw() {
    stage_->Render();
    uint32_t w = 0;
    uint32_t h = 0;
    ASSERT_EQ(stage_->display().ReadRgb8(&rgb_, &w, &h), DD_OK);
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
  }
  int Red(uint32_t x, uint32_t y) const { return rgb_[(static_cast<size_t>(y) * width + x) * 3]; }
  // The world point at the centre of a pixel, through the fixed camera (the plane z = 0
  // is 100 units away; the projection scales x by 1.05 and y by 1.05 x 4/3).
  static float WorldX(uint32_t px) {
    return ((static_cast<float>(px) + 0.5f) / width * 2.0f - 1.0f) * 100.0f / 1.05f;
  }
  static float WorldY(uint32_t py) {
    return (1.0f - (static_cast<float>(py) + 0.5f) / height * 2.0f) * 100.0f / 1.4f;
  }
  static float PixelX(float worldX) { return (worldX * 1.05f / 100.0f + 1.0f) * width / 2.0f; }
  static float PixelY(float worldY) { return (1.0f - worldY * 1.4f / 100.0f) * height / 2.0f; }

  // The red value one white star of size 0.75 at (cx, cy) gives the pixel, unclamped.
  static float StarReference(const std::vector<float>& texels, float cx, float cy, uint32_t px,
                             uint32_t py, bool* inside) {
    const float lx = (WorldX(px) - cx) / 0.75f;
    const float ly = (WorldY(py) - cy) / 0.75f;
    *inside = std::fabs(lx) < 0.9f && std::fabs(ly) < 0.9f;
    // The quad's texture coordinates mirror the image left to right: u is 0 at +x.
    return Sample(texels, 8, (1.0f - lx) / 2.0f, (1.0f - ly) / 2.0f);
  }
  static std::vector<float> StarTexels() {
    std::vector<float> texels(64);
    for (int i = 0; i < 64; ++i) texels[i] = Red565(star[i / 8][i % 8]);
    return texels;
  }

  std::unique_ptr<SceneStage> stage_;
  std::vector<uint8_t> rgb_;
};

TEST_F(SceneImageTest, EmptyShowIsBlack) {
  Draw();
  EXPECT_TRUE(std::all_of(rgb_.begin(), rgb_.end(), [](uint8_t v) { return v == 0; }))
      << "tolerance 0: every channel of every pixel is 0";
}

// Tolerance: 8 of 255 per pixel inside the sprite (rasterizer and filter rounding), the
// brightest pixel within 1.5 pixels of where the reference puts it.
TEST_F(SceneImageTest, BurstStarLandsWhereTheCameraPutsItWithTheStarPattern) {
  const float cx = 23.0f;
  const float cy = -11.0f;
  ASSERT_NE(AddParticle(show.burstStars, {cx, cy}, 255.0f, 255.0f, 255.0f, false), nullptr);
  Draw();
  const std::vector<float> texels = StarTexels();
  const int x0 = static_cast<int>(PixelX(cx - 1.0f));
  const int x1 = static_cast<int>(PixelX(cx + 1.0f));
  const int y0 = static_cast<int>(PixelY(cy + 1.0f));
  const int y1 = static_cast<int>(PixelY(cy - 1.0f));
  int checked = 0;
  float worst = 0.0f;
  int brightX = 0, brightY = 0, brightest = -1;
  float refBrightX = 0, refBrightY = 0, refBrightest = -1;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      bool inside = false;
      const float expected = StarReference(texels, cx, cy, x, y, &inside);
      if (Red(x, y) > brightest) brightest = Red(x, y), brightX = x, brightY = y;
      if (expected > refBrightest) refBrightest = expected, refBrightX = x, refBrightY = y;
      if (!inside) continue;
      worst = std::max(worst, std::fabs(expected - static_cast<float>(Red(x, y))));
      ++checked;
    }
  }
  EXPECT_GT(checked, 60) << "the sprite is about 10 pixels wide here";
  EXPECT_LE(worst, 8.0f);
  EXPECT_GE(brightest, 200);
  EXPECT_LE(std::abs(brightX - refBrightX), 1.5f);
  EXPECT_LE(std::abs(brightY - refBrightY), 1.5f);
  // Nothing lit outside the sprite's square.
  for (uint32_t y = 0; y < height; y += 3) {
    for (uint32_t x = 0; x < width; x += 3) {
      if (static_cast<int>(x) >= x0 - 1 && static_cast<int>(x) <= x1 + 1 &&
          static_cast<int>(y) >= y0 - 1 && static_cast<int>(y) <= y1 + 1) {
        continue;
      }
      ASSERT_EQ(Red(x, y), 0) << "at " << x << "," << y;
    }
  }
}

// Forty white stars on one spot: where one star gives at least 7, forty give more than
// 255, which must stay 255 (no wrap to small values); elsewhere forty times one star,
// within 40 x 2 of 255 levels.
TEST_F(SceneImageTest, AdditiveLightSaturatesAndDoesNotWrap) {
  const float cx = -30.0f;
  const float cy = 20.0f;
  for (int i = 0; i < 40; ++i) {
    ASSERT_NE(AddParticle(show.burstStars, {cx, cy}, 255.0f, 255.0f, 255.0f, false), nullptr);
  }
  Draw();
  const std::vector<float> texels = StarTexels();
  int saturated = 0;
  for (int y = static_cast<int>(PixelY(cy + 1.0f)); y <= static_cast<int>(PixelY(cy - 1.0f)); ++y) {
    for (int x = static_cast<int>(PixelX(cx - 1.0f)); x <= static_cast<int>(PixelX(cx + 1.0f)); ++x) {
      bool inside = false;
      const float one = StarReference(texels, cx, cy, x, y, &inside);
      if (!inside) continue;
      if (one >= 7.0f) {
        EXPECT_EQ(Red(x, y), 255) << "at " << x << "," << y << ", one star gives " << one;
        ++saturated;
      } else {
        EXPECT_NEAR(Red(x, y), std::min(255.0f, 40.0f * one), 80.0f) << x << "," << y;
      }
    }
  }
  EXPECT_GT(saturated, 50);
}

// A ribbon 60 units long: its texture repeats every 5 world units along the length, so
// the middle column reads the band image again and again, not its last row stretched.
// Tolerance 8 of 255 per pixel, away from the ribbon's ends and edges.
TEST_F(SceneImageTest, RibbonTextureWrapsAlongItsLength) {
  Shell* owner = AddShell(show.shells, Rocket, {0.0f, 0.0f}, 255.0f, 255.0f, 255.0f);
  ASSERT_NE(owner, nullptr);
  owner->age = 0;  // the shell itself is not drawn
  SmokeTrail* trail = AttachShellTrail(owner);
  ASSERT_NE(trail, nullptr);
  trail->kind = ShellTrail;
  trail->age = 5;
  trail->alpha = 1.0f;
  trail->tail = {0.0f, -30.0f};
  trail->head = {0.0f, 30.0f};
  trail->mid = {0.0f, 0.0f};
  trail->width = 4.0f;
  trail->midColour = trail->headColour = trail->tailColour = Colour{255.0f, 255.0f, 255.0f};
  Draw();

  std::vector<float> band = BandTexture();
  for (float& v : band) v = Red565(v);
  const float length = 0.9604f * 60.0f;  // ApproxDistance of the two points
  int checked = 0;
  float worst = 0.0f;
  float lowest = 255.0f;
  float highest = 0.0f;
  for (uint32_t y = static_cast<uint32_t>(PixelY(-30.0f + length - 0.5f));
       y <= static_cast<uint32_t>(PixelY(-29.5f)); ++y) {
    for (uint32_t x = static_cast<uint32_t>(PixelX(-3.0f)); x <= static_cast<uint32_t>(PixelX(3.0f));
         ++x) {
      const float u = (WorldX(x) / 4.0f + 1.0f) / 2.0f;
      const float v = 0.2f * (WorldY(y) + 30.0f);
      const float expected = Sample(band, 16, u, v);
      worst = std::max(worst, std::fabs(expected - static_cast<float>(Red(x, y))));
      if (std::fabs(WorldX(x)) < 0.3f) {
        lowest = std::min(lowest, static_cast<float>(Red(x, y)));
        highest = std::max(highest, static_cast<float>(Red(x, y)));
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 3000);
  EXPECT_LE(worst, 8.0f);
  EXPECT_GE(highest - lowest, 15.0f) << "the band's rows differ along the whole length";
}

// A busy moment on a 16-bit target: every channel of every pixel lies on a 5-6-5 step
// (tolerance 0), while the same moment on a 32-bit target does not.
TEST(SixteenBitImageTest, ShowFrameQuantizesToFiveSixFiveSteps) {
  auto onSteps = [](const std::vector<uint8_t>& rgb) {
    size_t off = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
      const int r = rgb[i] >> 3, g = rgb[i + 1] >> 2, b = rgb[i + 2] >> 3;
      if (rgb[i] != ((r << 3) | (r >> 2)) || rgb[i + 1] != ((g << 2) | (g >> 4)) ||
          rgb[i + 2] != ((b << 3) | (b >> 2))) {
        ++off;
      }
    }
    return off;
  };
  std::vector<uint8_t> frames[2];
  for (uint32_t bits : {16u, 32u}) {
    std::unique_ptr<SceneStage> stage;
    std::string error;
    ASSERT_EQ(SceneStage::Open(320, 240, bits, &stage, &error), DD_OK) << error;
    settings.particleLevel = 2;
    settings.smokeLevel = 2;
    show.hooks = {};
    SimInit(20261207);
    for (int t = 0; t < 3000; ++t) stage->Tick();
    stage->Render();
    uint32_t w = 0;
    uint32_t h = 0;
    ASSERT_EQ(stage->display().ReadRgb8(&frames[bits == 32], &w, &h), DD_OK);
    ClearAllLists();
  }
  const size_t lit = std::count_if(frames[0].begin(), frames[0].end(), [](uint8_t v) { return v > 8; });
  EXPECT_GT(lit, 1000u) << "the frame shows something";
  EXPECT_EQ(onSteps(frames[0]), 0u);
  EXPECT_GT(onSteps(frames[1]), 1000u);
}

}  // namespace
}  // namespace nb
