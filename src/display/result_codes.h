// Result codes of the display device layer and the start-up, and the one message box that
// reports a failed start to the user.
// Codes are HRESULT-style int32_t values: 0 success, negative failure. The layer's own
// families are 0x81xxxxxx (device enumeration) and 0x82xxxxxx (display framework and
// display start); platform codes pass through unchanged.
// Depends on the ports (result.h, system.h). Must not format the code into the message:
// users see the text alone.
#pragma once

#include <cstdint>

#include "platform/result.h"
#include "platform/system.h"

namespace nb {

namespace ResultCode {

inline constexpr int32_t Ok = S_OK;

inline constexpr int32_t EnumFailed = static_cast<int32_t>(0x81000001u);
inline constexpr int32_t NoCompatibleDevices = static_cast<int32_t>(0x81000002u);
inline constexpr int32_t NoCompatibleDirect3D = static_cast<int32_t>(0x81000003u);
inline constexpr int32_t NoDirectDrawModule = static_cast<int32_t>(0x81000004u);

inline constexpr int32_t InitFailed = static_cast<int32_t>(0x82000000u);
inline constexpr int32_t NoDirectDraw = static_cast<int32_t>(0x82000001u);
inline constexpr int32_t NoCooperativeLevel = static_cast<int32_t>(0x82000002u);
inline constexpr int32_t NoDirect3D = static_cast<int32_t>(0x82000003u);
inline constexpr int32_t No3DDevice = static_cast<int32_t>(0x82000004u);
inline constexpr int32_t NoDepthFormat = static_cast<int32_t>(0x82000005u);
inline constexpr int32_t NoViewport = static_cast<int32_t>(0x82000006u);
inline constexpr int32_t NoPrimary = static_cast<int32_t>(0x82000007u);
inline constexpr int32_t NoClipper = static_cast<int32_t>(0x82000008u);
inline constexpr int32_t BadDisplayMode = static_cast<int32_t>(0x82000009u);
inline constexpr int32_t NoBackBuffer = static_cast<int32_t>(0x8200000Au);
inline constexpr int32_t NonzeroRefCount = static_cast<int32_t>(0x8200000Bu);
inline constexpr int32_t NoRenderTarget = static_cast<int32_t>(0x8200000Cu);
inline constexpr int32_t NeedHighColorDisplay = static_cast<int32_t>(0x8200000Du);
inline constexpr int32_t NoFrontBuffer = static_cast<int32_t>(0x8200000Eu);

// Platform codes that the layer and the start-up hand on unchanged and that have a
// message of their own (OutOfMemory, OutOfVideoMemory) or are raised by the start-up.
inline constexpr int32_t Failure = E_FAIL;
inline constexpr int32_t InvalidArgument = E_INVALIDARG;
inline constexpr int32_t OutOfMemory = E_OUTOFMEMORY;
inline constexpr int32_t OutOfVideoMemory = DDERR_OUTOFVIDEOMEMORY;

}  // namespace ResultCode

// The caption of every message box of the saver.
inline constexpr const char* errorCaption = "Nightbloom";
inline constexpr const char* genericErrorText = "Generic application error.";

// The text shown for code: its own text when code equals a code of the table, otherwise
// the generic text (also for 0, positive values and codes without a text of their own).
const char* ErrorMessageText(int32_t code);

// Shows the modal message box for code with no owner, caption "Nightbloom" and an error
// icon when fatal, an exclamation icon otherwise; waits for it to close. The caller ends
// the process afterwards when the failure was fatal.
void ShowErrorMessage(System& system, int32_t code, bool fatal);

}  // namespace nb
