// The show as a display of a given refresh rate shows it: the saver loop makes one pass per
// refresh, reading a millisecond clock that stands at the refresh's moment, and runs the
// ticks its own schedule gives for that reading, then draws one frame. Time does not move
// while a pass works, so a pass's ticks and the sounds they raise all happen at its moment.
// Depends on the shell's tick schedule only.
#pragma once

#include <cstdint>

#include "shell/tick_schedule.h"

namespace nb {

class FilmSchedule {
 public:
  // The schedule starts at clock reading 0, the moment of the first refresh.
  explicit FilmSchedule(uint32_t fps) : fps_(fps) { StartTickSchedule(schedule_, 0); }

  // The clock reading of pass `pass` (0 first): the refresh's moment, truncated to the
  // millisecond as the counter reads it.
  uint32_t ClockAt(uint64_t pass) const { return static_cast<uint32_t>(pass * 1000 / fps_); }

  // Runs the ticks of pass `pass` through tick(). Passes go in order, each once. Returns
  // the ticks run.
  template <typename Tick>
  int32_t RunPass(uint64_t pass, Tick&& tick) {
    const uint32_t now = ClockAt(pass);
    return RunPassTicks(schedule_, [now] { return now; }, tick);
  }

 private:
  uint32_t fps_;
  TickSchedule schedule_;
};

}  // namespace nb
