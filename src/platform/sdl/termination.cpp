// Termination signals. Depends on termination.h and the C library's signals and clocks.
#include "platform/sdl/termination.h"

#include <signal.h>
#include <time.h>

#include <atomic>
#include <cstdint>

namespace nb {
namespace {

volatile sig_atomic_t requested = 0;
// When the first request came (the monotonic clock's milliseconds). Lock-free, so the
// handler may read and write it.
std::atomic<int64_t> firstRequestAt{0};
static_assert(std::atomic<int64_t>::is_always_lock_free);

int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void OnSignal(int signal) {
  const int64_t now = NowMs();
  if (!requested) {
    firstRequestAt.store(now);
    requested = 1;
    return;
  }
  // One request often arrives twice at once: `timeout` and terminals signal both the
  // process and its group. Only a request repeated after the program had its time to end
  // is someone insisting.
  if (now - firstRequestAt.load() < repeatedRequestMs) return;
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  raise(signal);  // delivered, with its default action, as the handler returns
}

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaddset(&action.sa_mask, SIGINT);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool TerminationRequested() { return requested != 0; }

void RequestTermination() {
  if (!requested) firstRequestAt.store(NowMs());
  requested = 1;
}

void ClearTerminationRequest() { requested = 0; }

}  // namespace nb
