// A stand-in for the kernel's steady clocks, preloaded into the program by the end-to-end
// test of clock jumps (LD_PRELOAD): every monotonic clock of the process reads two hours
// ahead, so that it can go back by hours; SIGUSR1 moves them an hour forward, SIGUSR2 an
// hour back, at once, as a clock that jumps would. The wall clock and the CPU clocks read
// unchanged. The program's own code paths read the clocks as always.
// Depends on the C library only (the real clock_gettime through dlsym).
#include <dlfcn.h>
#include <signal.h>
#include <time.h>

#include <atomic>
#include <cstdint>

namespace {

constexpr int64_t hourNs = int64_t{3600} * 1000000000;
std::atomic<int64_t> shiftNs{2 * hourNs};

using ClockGetTime = int (*)(clockid_t, timespec*);

ClockGetTime Real() {
  static const ClockGetTime real = reinterpret_cast<ClockGetTime>(dlsym(RTLD_NEXT, "clock_gettime"));
  return real;
}

bool Steady(clockid_t clock) {
  return clock == CLOCK_MONOTONIC || clock == CLOCK_MONOTONIC_RAW ||
         clock == CLOCK_MONOTONIC_COARSE || clock == CLOCK_BOOTTIME;
}

void OnSignal(int signal) { shiftNs += signal == SIGUSR1 ? hourNs : -hourNs; }

[[gnu::constructor]] void Install() {
  Real();
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &action, nullptr);
  sigaction(SIGUSR2, &action, nullptr);
}

}  // namespace

extern "C" int clock_gettime(clockid_t clock, timespec* out) {
  const int result = Real()(clock, out);
  if (result != 0 || !Steady(clock)) return result;
  const int64_t ns = static_cast<int64_t>(out->tv_sec) * 1000000000 + out->tv_nsec + shiftNs.load();
  out->tv_sec = static_cast<time_t>(ns / 1000000000);
  out->tv_nsec = static_cast<long>(ns % 1000000000);
  return 0;
}
