// The saver window's rules: which input ends the saver (keys, button presses, mouse
// movement of more than 5 pixels after a 1500 ms grace period), the black password window
// with the screensaver password check, the password change, and the plain window
// procedure shared by the password and preview windows.
// Depends on shell.h (the shell state and frame cycle) and the display framework; reaches
// the platform through shell.platform. Runs only inside message dispatch.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace nb {

inline constexpr int32_t MovementThreshold = 5;    // pixels, along x or y
inline constexpr uint32_t GracePeriodMs = 1500;
inline constexpr int32_t MinTrackSize = 100;       // pixels, both ways

inline constexpr const char* saverClassName = "Nightbloom";
inline constexpr const char* passwordClassName = "Nightbloom Password";

// Window procedure of the saver window (class "Nightbloom").
intptr_t SaverWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// WM_DESTROY quits with code 0, WM_CLOSE destroys the window, the rest is the platform's.
intptr_t PlainWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Mouse movement: an exit request when the cursor jumped far enough after the grace period.
void MovementTest();
// Asks for the password over a black screen; ends the saver when it is accepted, puts the
// show back with a fresh grace period when it is refused. Ignored while the password is up.
void ExitRequest();
// True when the user may leave: always on Windows NT and without the password provider.
bool CheckPassword(System& system, Window owner);
// Hands over to the platform's password change for screensavers; silent when missing.
void ChangePassword(System& system, Window owner);

}  // namespace nb
