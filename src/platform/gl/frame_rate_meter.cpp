// The frame rate meter. Depends on frame_rate_meter.h and the C library's clocks.
#include "platform/gl/frame_rate_meter.h"

#include "platform/gl/frame_pacer.h"

#include <time.h>

#include <cstdio>

namespace nb {

FrameRateMeter::FrameRateMeter(Clock wall, Clock cpu)
    : wall_(std::move(wall)), cpu_(std::move(cpu)), lines_{"FPS: -", "CPU: -"} {}

void FrameRateMeter::FrameShown() {
  const uint64_t now = wall_();
  if (!started_) {
    // The first frame opens the first second; it is not counted in it, the frames that
    // end inside it are.
    started_ = true;
    secondStart_ = now;
    cpuStart_ = cpu_();
    return;
  }
  ++frames_;
  const uint64_t span = now - secondStart_;
  if (span < 1000000) return;
  const uint64_t cpu = cpu_();
  const double fps = frames_ * 1e6 / static_cast<double>(span);
  const double share = static_cast<double>(cpu - cpuStart_) * 100.0 / static_cast<double>(span);
  char text[32];
  std::snprintf(text, sizeof(text), "FPS: %.1f", fps);
  lines_[0] = text;
  std::snprintf(text, sizeof(text), "CPU: %.0f%%", share);
  lines_[1] = text;
  secondStart_ = now;
  cpuStart_ = cpu;
  frames_ = 0;
}

FrameRateMeter MakeSystemFrameRateMeter() {
  return FrameRateMeter(
      SteadyMicroseconds,
      [] {
        timespec used{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
        return static_cast<uint64_t>(used.tv_sec) * 1000000u +
               static_cast<uint64_t>(used.tv_nsec) / 1000u;
      });
}

}  // namespace nb
