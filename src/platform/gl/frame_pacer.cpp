// Frame pacing. Depends on frame_pacer.h and the standard library's clocks.
#include "platform/gl/frame_pacer.h"

#include <chrono>
#include <thread>

namespace nb {

void FramePacer::SetRefreshRate(double hz) {
  // Written so that a NaN fails the test too.
  rate_ = hz >= minRefreshRate && hz <= maxRefreshRate ? hz : 60.0;
  period_ = static_cast<uint64_t>(1e6 / rate_ + 0.5);
}

void FramePacer::FrameShown() {
  ++frames_;
  shownSinceIdle_ = true;
  const uint64_t now = now_();
  if (frames_ == 1) firstAt_ = now;
  lastAt_ = now;
  if (listener_) listener_(now);
  // A clock that went back makes the difference wrap far beyond a day: not counted.
  const uint64_t second = (now - firstAt_) / 1000000;
  if (countEachSecond_ && second < 24 * 3600) {
    if (eachSecond_.size() <= second) eachSecond_.resize(second + 1, 0);
    ++eachSecond_[second];
  }
  if (!started_ || !enabled_) {
    started_ = true;
    lastSlot_ = now;
    return;
  }
  const uint64_t due = lastSlot_ + period_;
  if (ClockWentBack(now)) {
    // Waiting for a slot that far ahead could take hours: the periods start again now.
    lastSlot_ = now;
  } else if (now < due) {
    sleep_(due - now);
    lastSlot_ = due;
  } else {
    // Late (a slow frame, or a screen that waited for its retrace): the next period
    // starts now; a debt is never paid back with frames drawn in a burst.
    lastSlot_ = now;
  }
}

uint64_t FramePacer::IdleWaitMicroseconds() {
  if (shownSinceIdle_) {
    shownSinceIdle_ = false;
    return 0;
  }
  const uint64_t now = now_();
  if (!started_ || now >= lastSlot_ + period_ || ClockWentBack(now)) {
    started_ = true;
    lastSlot_ = now;
    return period_;
  }
  const uint64_t left = lastSlot_ + period_ - now;
  lastSlot_ += period_;
  return left;
}

uint64_t SteadyMicroseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

FramePacer MakeSystemFramePacer() {
  return FramePacer(
      SteadyMicroseconds,
      [](uint64_t microseconds) {
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
      });
}

}  // namespace nb
