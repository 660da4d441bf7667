// SIGTERM and SIGINT: the first one asks the program to end (every mode ends within a
// second, releasing what it holds); a second one ends the process at once, the signal's
// default. The window system reads the request in its message pump; a modal loop of its
// own (a dialog) must read it as well and end as if cancelled.
// Depends on the C library's signals only.
#pragma once

namespace nb {

// Installs the handlers (once per process).
void InstallTerminationHandlers();
// Whether an end was asked for (also true after RequestTermination).
bool TerminationRequested();
// Asks for the end from inside the program (for tests; a vanished window does its own).
void RequestTermination();
// Forgets a request (for tests that run several times in one process).
void ClearTerminationRequest();

}  // namespace nb
