// The preview: the picture stretched over the whole child window of any parent, the
// redraw interval, the end when the parent goes, and a parent that does not exist.
#include <gtest/gtest.h>

#include <map>

#include "headless_platform.h"
#include "shell/preview.h"
#include "shell/shell.h"

namespace nb {
namespace {

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetShellState();
    // A picture whose left half is red and right half blue, so stretching shows.
    fake::FakeBitmapData picture = fake::FakeBitmapData::Solid(152, 118, fake::Rgb{255, 0, 0});
    for (int32_t y = 0; y < 118; ++y) {
      for (int32_t x = 76; x < 152; ++x) picture.SetPixel(x, y, fake::Rgb{0, 0, 255});
    }
    headless.system.AddBitmapResource(previewBitmapId, picture);
    headless.system.now = 5000;
  }
  void TearDown() override { ResetShellState(); }

  // Advances the clock by stepMs on every empty poll; destroys the parent at endPoll.
  void Script(uint32_t stepMs, uint32_t endPoll) {
    headless.windows.onQueueEmpty = [this, stepMs, endPoll](uint32_t polls) {
      headless.system.Advance(stepMs);
      if (polls == endPoll && headless.windows.IsWindow(parent)) headless.windows.DestroyWindow(parent);
    };
  }
  size_t Drawings() const { return headless.world.CountCalls("StretchBlt"); }

  test::HeadlessPlatform headless;
  Window parent{};
};

TEST_F(PreviewTest, FillsAParentOfAnySizeAndEndsWithIt) {
  parent = headless.windows.AddForeignWindow(RECT{50, 60, 50 + 301, 60 + 97});
  Window child{};
  bool checked = false;
  headless.windows.onQueueEmpty = [&](uint32_t polls) {
    headless.system.Advance(30);
    if (IsNone(child)) child = headless.windows.FindByClass(previewClassName);
    if (polls == 39) {
      // Before the window goes: the stretched picture covers it all, aspect not kept.
      const fake::PixelStore* canvas = headless.windows.Canvas(child);
      ASSERT_NE(canvas, nullptr);
      EXPECT_EQ(canvas->Width(), 301);
      EXPECT_EQ(canvas->Height(), 97);
      EXPECT_EQ(canvas->Get(0, 0), (fake::Rgb{255, 0, 0}));
      EXPECT_EQ(canvas->Get(149, 96), (fake::Rgb{255, 0, 0}));
      EXPECT_EQ(canvas->Get(151, 0), (fake::Rgb{0, 0, 255}));
      EXPECT_EQ(canvas->Get(300, 96), (fake::Rgb{0, 0, 255}));
      checked = true;
    }
    if (polls == 40) headless.windows.DestroyWindow(parent);
  };
  const std::string line = "/p " + std::to_string(static_cast<uintptr_t>(parent));
  EXPECT_EQ(ShellMain(headless.platform, Instance{0x400000}, line.c_str()), 0);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(headless.windows.IsWindow(child));

  const auto creations = headless.world.CallsNamed("CreateWindowExA");
  ASSERT_EQ(creations.size(), 1u);
  EXPECT_EQ(creations[0].texts[0], previewClassName);
  EXPECT_EQ(creations[0].texts[1], "Nightbloom");
  EXPECT_EQ(creations[0].args[1], int64_t{WS_CHILD | WS_VISIBLE});
  // The preview asks for nothing else: no timer, no settings, no display, no sound.
  EXPECT_EQ(headless.world.CountCalls("timeBeginPeriod"), 0u);
  EXPECT_EQ(headless.world.CountCalls("RegOpenKeyExA"), 0u);
  EXPECT_EQ(headless.world.CountCalls("DirectDrawEnumerateExA"), 0u);
  EXPECT_EQ(headless.world.CountCalls("DirectSoundCreate"), 0u);
  // Every drawing used COLORONCOLOR on the context it drew into, and nothing is left behind.
  EXPECT_GT(Drawings(), 0u);
  std::map<int64_t, int64_t> modes;  // device context -> its stretch mode
  size_t checkedDrawings = 0;
  for (const fake::Call& call : headless.world.Calls()) {
    if (call.name == "Gdi::SetStretchBltMode") modes[call.args[0]] = call.args[1];
    if (call.name != "Gdi::StretchBlt") continue;
    ++checkedDrawings;
    EXPECT_EQ(modes[call.args[0]], int64_t{COLORONCOLOR}) << "drawing " << checkedDrawings;
  }
  EXPECT_EQ(checkedDrawings, Drawings());
  EXPECT_EQ(headless.gdi.OpenDcCount(), 0u);
  EXPECT_EQ(headless.gdi.BitmapCount(), 0u);
}

TEST_F(PreviewTest, DrawsOnlyWhenMoreThanAHundredMillisecondsPassed) {
  parent = headless.windows.AddForeignWindow(RECT{0, 0, 152, 118});
  std::vector<size_t> drawingsAt;
  headless.windows.onQueueEmpty = [&](uint32_t polls) {
    drawingsAt.push_back(Drawings());
    headless.system.Advance(polls <= 20 ? 10 : 1);
    if (polls == 200) headless.windows.DestroyWindow(parent);
  };
  Preview(headless.platform, parent, Instance{0x400000});
  // 10 ms per poll: at 100 ms nothing yet; the first drawing once 110 ms have passed.
  ASSERT_GE(drawingsAt.size(), 13u);
  EXPECT_EQ(drawingsAt[11], 0u);
  EXPECT_EQ(drawingsAt[12], 1u);
  // From then on one drawing for every 101 ms at least.
  const size_t total = Drawings();
  const uint32_t elapsed = headless.system.now - 5000;
  EXPECT_LE(total, elapsed / 101 + 1);
  EXPECT_GE(total, 2u);
}

TEST_F(PreviewTest, FailedMemoryContextSkipsThatDrawingOnly) {
  parent = headless.windows.AddForeignWindow(RECT{0, 0, 40, 30});
  headless.world.FailCall("CreateCompatibleDC", E_FAIL);
  headless.windows.onQueueEmpty = [&](uint32_t polls) {
    headless.system.Advance(60);
    if (polls == 20) headless.windows.DestroyWindow(parent);
  };
  Preview(headless.platform, parent, Instance{0x400000});
  EXPECT_GE(headless.world.CountCalls("CreateCompatibleDC"), 2u);
  EXPECT_EQ(Drawings(), headless.world.CountCalls("CreateCompatibleDC") - 1);
  EXPECT_EQ(headless.gdi.OpenDcCount(), 0u);
}

TEST_F(PreviewTest, ParentThatDoesNotExistEndsAtOnce) {
  uint32_t polls = 0;
  headless.windows.onQueueEmpty = [&](uint32_t n) {
    polls = n;
    // Without the early end nothing would ever quit; stop the test from hanging.
    if (n > 1000) headless.windows.PostQuitMessage(99);
  };
  EXPECT_EQ(ShellMain(headless.platform, Instance{0x400000}, "/p 1234"), 0);
  EXPECT_EQ(polls, 0u);
  EXPECT_EQ(Drawings(), 0u);
  EXPECT_EQ(headless.gdi.BitmapCount(), 0u);
}

}  // namespace
}  // namespace nb
