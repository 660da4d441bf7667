// Termination signals. Depends on termination.h and <csignal>.
#include "platform/sdl/termination.h"

#include <signal.h>

namespace nb {
namespace {

volatile sig_atomic_t requested = 0;

void OnSignal(int) { requested = 1; }

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // The second signal finds the default action again and ends the process at once.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool TerminationRequested() { return requested != 0; }

void RequestTermination() { requested = 1; }

void ClearTerminationRequest() { requested = 0; }

}  // namespace nb
