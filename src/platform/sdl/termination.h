// SIGTERM and SIGINT: the first one asks the program to end (every mode ends within a
// second, releasing what it holds). The same signal again within repeatedRequestMs is the
// same request (tools such as `timeout` signal the process and its group at once); one
// that comes later ends the process at once, by the signal's default action. The window
// system reads the request in its message pump; a modal loop of its own (a dialog, a
// message box) must read it as well and end as if cancelled.
// Depends on the C library's signals only.
#pragma once

#include <cstdint>

namespace nb {

inline constexpr int64_t repeatedRequestMs = 1000;

// Installs the handlers (once per process).
void InstallTerminationHandlers();
// Whether an end was asked for (also true after RequestTermination).
bool TerminationRequested();
// Asks for the end from inside the program (for tests; a vanished window does its own).
void RequestTermination();
// Forgets a request (for tests that run several times in one process).
void ClearTerminationRequest();

}  // namespace nb
