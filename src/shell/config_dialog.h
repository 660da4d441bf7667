// The configuration dialog's logic (dialog resource 151): the sound check box, the two
// level combo boxes, OK that saves the settings, Cancel that saves nothing, and Video
// Config that runs the device selection and saves a confirmed choice at once.
// Depends on the dialog and registry ports (through shell.platform), the settings store
// and the display layer's device dialog and choice.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace nb {

inline constexpr uint32_t configDialogId = 151;
inline constexpr int32_t IDC_VIDEOCONFIG = 1009;
inline constexpr int32_t IDC_PARTICLES = 1010;
inline constexpr int32_t IDC_SMOKE = 1012;
inline constexpr int32_t IDC_USESOUND = 1014;

// Dialog procedure of dialog 151; the dialog ends with 1 (OK) or 2 (Cancel).
intptr_t ConfigDialogProc(Window dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace nb
