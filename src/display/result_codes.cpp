// Message texts of the result codes and the error message box. The lookup is exact: a
// code that merely belongs to a family has no text of its own, so a new code can never
// borrow a neighbour's message by accident.
// Depends on result_codes.h and the system port.
#include "display/result_codes.h"

namespace nb {

namespace {

struct MessageEntry {
  int32_t code;
  const char* text;
};

constexpr MessageEntry messages[] = {
    {ResultCode::EnumFailed,
     "Enumeration failed. Your system may be in an\nunstable state and need to be rebooted"},
    {ResultCode::NoCompatibleDevices,
     "Could not find any compatible devices.\n\nTry using the configuration dialog\n"},
    {ResultCode::NoCompatibleDirect3D, "Could not find any compatible Direct3D\ndevices."},
    {ResultCode::InitFailed, "Generic initialization error."},
    {ResultCode::NoDirectDraw, "No DirectDraw"},
    {ResultCode::NoCooperativeLevel, "Could not set Cooperative Level"},
    {ResultCode::NoDirect3D, "No Direct3D"},
    {ResultCode::No3DDevice, "No 3D Device"},
    {ResultCode::NoDepthFormat, "No ZBuffer"},
    {ResultCode::NoViewport, "No Viewport"},
    {ResultCode::NoPrimary, "No primary"},
    {ResultCode::NoClipper, "No Clipper"},
    {ResultCode::BadDisplayMode, "Bad display mode"},
    {ResultCode::NoBackBuffer, "No backbuffer"},
    {ResultCode::NonzeroRefCount, "Nonzerorefcount"},
    {ResultCode::NoRenderTarget, "No render target"},
    {ResultCode::NeedHighColorDisplay,
     "This screensaver requires a 16-bit (or higher) display mode\nto run in a window.\n\n"
     "Please switch your desktop settings accordingly."},
    {ResultCode::OutOfMemory, "Not enough memory!"},
    {ResultCode::OutOfVideoMemory,
     "There was insufficient video memory to use the\nhardware device."},
};

}  // namespace

const char* ErrorMessageText(int32_t code) {
  for (const MessageEntry& entry : messages) {
    if (entry.code == code) return entry.text;
  }
  return genericErrorText;
}

void ShowErrorMessage(System& system, int32_t code, bool fatal) {
  const uint32_t style = MB_OK | (fatal ? MB_ICONERROR : MB_ICONEXCLAMATION);
  // The button pressed does not matter: there is only OK.
  system.MessageBoxA(NoWindow, ErrorMessageText(code), errorCaption, style);
}

}  // namespace nb
