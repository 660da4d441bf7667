// What a show started with --fps prints over itself, as screensaver hacks do: the frames
// per second and the share of CPU time the process used (all its threads, the renderer's
// included; 100% is one core, as top counts it), each over the last whole second.
// Depends on the standard library; both clocks are given, so tests run it on clocks of
// their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nb {

class FrameRateMeter {
 public:
  using Clock = std::function<uint64_t()>;  // microseconds
  // wall: a monotonic clock; cpu: the CPU time the process has used so far.
  FrameRateMeter(Clock wall, Clock cpu);

  // Call once for every frame that goes to the screen.
  void FrameShown();
  // "FPS: 59.8" and "CPU: 42%" for the last whole second that ended; dashes before one has.
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  Clock wall_;
  Clock cpu_;
  bool started_ = false;
  uint64_t secondStart_ = 0;
  uint64_t cpuStart_ = 0;
  uint32_t frames_ = 0;
  std::vector<std::string> lines_;
};

// A meter on the steady clock and the process's CPU-time clock.
FrameRateMeter MakeSystemFrameRateMeter();

}  // namespace nb
