// The saver loop's tick schedule on its own: how many 17 ms ticks a pass runs for a clock
// reading, at most two per pass, a larger backlog dropped. The loop drives it with the
// platform's millisecond clock; a tool that films the show drives it with a virtual one.
// Depends on nothing; reads no clock itself.
#pragma once

#include <cstdint>

namespace nb {

inline constexpr uint32_t TickLengthMs = 17;
inline constexpr int32_t MaxTicksPerPass = 2;

// Times are millisecond counter readings, only ever subtracted as unsigned 32-bit values,
// so the schedule survives the counter's wrap.
struct TickSchedule {
  uint32_t baseTime = 0;     // clock origin of the schedule
  uint32_t elapsed = 0;      // clock reading of the pass minus baseTime
  uint32_t accumulated = 0;  // time consumed by ticks, from baseTime
  int32_t ticksThisPass = 0;
};

// Starts the schedule at clock reading now, two ticks in the past, so that the first pass
// runs two ticks at once.
inline void StartTickSchedule(TickSchedule& schedule, uint32_t now) {
  schedule.baseTime = now - 2 * TickLengthMs;
  schedule.accumulated = 0;
}

// One pass: calls tick() once for every TickLengthMs the clock has moved past the time
// already consumed, at most MaxTicksPerPass times. Reaching the limit takes a fresh
// reading of now() and drops whatever backlog it shows: a loop that falls behind slows
// the show down instead of racing to catch up. Returns the ticks run.
template <typename Clock, typename Tick>
int32_t RunPassTicks(TickSchedule& schedule, Clock&& now, Tick&& tick) {
  schedule.elapsed = now() - schedule.baseTime;
  schedule.ticksThisPass = 0;
  while (schedule.elapsed - schedule.accumulated >= TickLengthMs) {
    tick();
    ++schedule.ticksThisPass;
    if (schedule.ticksThisPass >= MaxTicksPerPass) {
      schedule.elapsed = now() - schedule.baseTime;
      schedule.accumulated = schedule.elapsed;
    } else {
      schedule.accumulated += TickLengthMs;
    }
  }
  return schedule.ticksThisPass;
}

}  // namespace nb
