// The video's clock: the saver loop's own schedule at a display's refresh rate.
#include <gtest/gtest.h>

#include <vector>

#include "show_film.h"

namespace nb {
namespace {

std::vector<int32_t> TicksPerPass(uint32_t fps, uint64_t passes) {
  FilmSchedule schedule(fps);
  std::vector<int32_t> ticks;
  for (uint64_t pass = 0; pass < passes; ++pass) {
    int32_t run = 0;
    EXPECT_EQ(schedule.RunPass(pass, [&run] { ++run; }), run);
    ticks.push_back(run);
  }
  return ticks;
}

int32_t Sum(const std::vector<int32_t>& ticks) {
  int32_t sum = 0;
  for (const int32_t t : ticks) sum += t;
  return sum;
}

TEST(FilmScheduleTest, PassesHappenAtTheMillisecondOfTheirRefresh) {
  const FilmSchedule schedule(60);
  EXPECT_EQ(schedule.ClockAt(0), 0u);
  EXPECT_EQ(schedule.ClockAt(1), 16u);  // 16.67 ms, as the millisecond counter reads it
  EXPECT_EQ(schedule.ClockAt(3), 50u);
  EXPECT_EQ(schedule.ClockAt(60 * 86400), 86400000u);
}

TEST(FilmScheduleTest, SixtyHertzKeepsTheShowInRealTime) {
  const std::vector<int32_t> ticks = TicksPerPass(60, 600);
  EXPECT_EQ(ticks[0], 2);  // the loop starts two ticks in the past
  EXPECT_EQ(ticks[1], 0);
  for (size_t k = 1; k < ticks.size(); ++k) EXPECT_LE(ticks[k], 1) << "pass " << k;
  // Pass 599 at 9983 ms: the ticks whose time has come, 34 ms ahead from the start.
  EXPECT_EQ(Sum(ticks), static_cast<int32_t>((9983 + 34) / 17));
}

TEST(FilmScheduleTest, ThirtyHertzSlowsTheShowDownAsTheLoopDropsItsBacklog) {
  const std::vector<int32_t> ticks = TicksPerPass(30, 300);
  for (const int32_t t : ticks) EXPECT_GE(t, 1);
  EXPECT_EQ(ticks[0] + ticks[1] + ticks[2] + ticks[3], 2 + 1 + 2 + 2);
  // Fewer ticks than the ten seconds hold: a display this slow shows the show slowed.
  EXPECT_LT(Sum(ticks), 9966 / 17);
  EXPECT_GT(Sum(ticks), 300);
}

TEST(FilmScheduleTest, FastDisplaysShowFramesBetweenTicks) {
  const std::vector<int32_t> ticks = TicksPerPass(144, 1440);
  for (size_t k = 1; k < ticks.size(); ++k) EXPECT_LE(ticks[k], 1);
  EXPECT_EQ(Sum(ticks), static_cast<int32_t>((1439 * 1000 / 144 + 34) / 17));
}

}  // namespace
}  // namespace nb
