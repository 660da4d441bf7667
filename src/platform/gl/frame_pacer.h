// The pace of frames on a screen: a finished frame is shown no sooner than one refresh
// period after the one before, so that the saver never draws more frames per second than
// the display refreshes (60 when the display does not say). Where the screen already waits
// for the vertical retrace, the frame arrives late enough and nothing more is waited.
// It is the one place where the Linux program's loop waits: after each frame shown, and
// when a pass of the loop shows none (minimized, display lost), once per period in the
// message pump (IdleWaitMicroseconds).
// Depends on the standard library; the clock and the sleep are given, so tests run it on
// a clock of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace nb {

class FramePacer {
 public:
  using Clock = std::function<uint64_t()>;        // microseconds, monotonic
  using Sleep = std::function<void(uint64_t)>;    // sleeps that many microseconds
  FramePacer(Clock now, Sleep sleep) : now_(std::move(now)), sleep_(std::move(sleep)) {}

  // The display's refresh rate in Hz. A rate no display has (below minRefreshRate or above
  // maxRefreshRate, 0 for unknown, or not a number) counts as 60: a driver's wrong answer
  // must neither stretch the frames to seconds nor shrink the period to nothing.
  void SetRefreshRate(double hz);
  static constexpr double minRefreshRate = 20.0;
  static constexpr double maxRefreshRate = 1000.0;
  double RefreshRate() const { return rate_; }
  // Off: frames go out as fast as they come (for measurements); idle passes still wait.
  void SetEnabled(bool enabled) { enabled_ = enabled; }

  // Call right after a frame went to the screen: waits out the rest of its period. A clock
  // that jumped (back, or forward past the period) starts the periods afresh: no wait is
  // ever longer than one period, and no frames are drawn in a burst to catch up.
  void FrameShown();
  // Called with the clock's time for every frame shown (a frame log, say).
  void SetFrameListener(std::function<void(uint64_t)> listener) { listener_ = std::move(listener); }
  // Counts the frames of each second (framesEachSecond), for reports at the end of a run;
  // off by default, since the counts grow with the length of the run.
  void SetCountEachSecond(bool count) { countEachSecond_ = count; }
  // How long the message pump may wait for an event when it finds none: 0 when a frame
  // was shown since the last call (the loop is drawing, and the frames pace it), else the
  // time left to the end of the current period.
  uint64_t IdleWaitMicroseconds();

  uint64_t periodMicroseconds() const { return period_; }
  uint64_t framesShown() const { return frames_; }
  // When the first and the last frame went out (the clock's microseconds).
  uint64_t firstFrameAt() const { return firstAt_; }
  uint64_t lastFrameAt() const { return lastAt_; }
  // Frames shown in each whole second since the first one, up to a day (for reports that
  // leave out the start of a show, whose empty sky draws faster than the rest); empty
  // unless SetCountEachSecond(true).
  const std::vector<uint32_t>& framesEachSecond() const { return eachSecond_; }

 private:
  // The current slot lies at most one period ahead (an idle wait moves it to the end of
  // the period it waits out); further ahead, the clock has gone back.
  bool ClockWentBack(uint64_t now) const { return now + period_ < lastSlot_; }

  Clock now_;
  Sleep sleep_;
  double rate_ = 60.0;
  uint64_t period_ = 16667;
  bool enabled_ = true;
  bool countEachSecond_ = false;
  std::function<void(uint64_t)> listener_;
  bool started_ = false;
  uint64_t lastSlot_ = 0;
  bool shownSinceIdle_ = false;
  uint64_t frames_ = 0;
  uint64_t firstAt_ = 0;
  uint64_t lastAt_ = 0;
  std::vector<uint32_t> eachSecond_;
};

// The steady clock in microseconds, as the system pacer and frame-rate meter read it.
uint64_t SteadyMicroseconds();

// A pacer on the steady clock that really sleeps.
FramePacer MakeSystemFramePacer();

}  // namespace nb
