// The real Windows machine as the ports see it: one adapter per port, over the Win32 API,
// DirectDraw/Direct3D of DirectX 6, DirectSound and the registry, bundled into the one
// Platform record the program hands to the shell.
// Depends on the adapters' headers only (no platform header).
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_gdi.h"
#include "platform/win32/win32_graphics.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_sound.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"

namespace nb::win32 {

struct Win32Platform {
  Win32Graphics graphics;
  Win32Sound sound;
  Win32Registry registry;
  Win32System system;
  Win32Windows windows;
  Win32Gdi gdi;
  Win32Dialogs dialogs;

  Platform Ports() { return Platform{graphics, sound, registry, system, windows, gdi, dialogs}; }
};

}  // namespace nb::win32
