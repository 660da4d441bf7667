// The ports of the platform, and the Platform record that the program passes down.
//
// The core (show, scene, sound, display, shell) is written against the DirectX 6, Win32
// and registry calls that the saver makes, through small abstract interfaces of our own
// that keep the platform's names, records, flag values and result codes:
//   result.h    HRESULT-style codes (S_OK, E_FAIL, DDERR_*, DSERR_*)
//   guid.h      GUID and the interface / device identifiers
//   ref.h       Unknown (AddRef / Release / QueryInterface) and the owning pointer Ref<T>
//   handles.h   Window, Instance, Dc, Bitmap, Cursor handles; RECT, POINT
//   graphics.h  GraphicsSystem, DirectDraw, DrawSurface, DrawPalette, Direct3D, Device3D,
//               Viewport3D, Texture3D and their records (DDSURFACEDESC2, D3DDEVICEDESC, ...)
//   sound.h     SoundSystem, DirectSound, SoundBuffer, WAVEFORMATEX, DSBUFFERDESC
//   registry.h  Registry (HKEY_CURRENT_USER keys, REG_DWORD / REG_SZ values)
//   system.h    System: timer, cursor, metrics, message box, version, password providers,
//               resources of the executable
//   window.h    WindowSystem: classes, windows, the message pump (WindowEvent)
//   gdi.h       Gdi: device contexts, bitmaps, BitBlt / StretchBlt
//   dialog.h    DialogSystem: modal dialogs over dialog procedures, control messages
// Adapters: platform/win32 (the real calls), platform/sdl with platform/gl (SDL2, OpenGL,
// GTK, a key file), platform/fake (scriptable fakes for tests).
//
// Rules: ports are pure abstract; adapters are final. These headers include no platform
// header, and an adapter that needs <windows.h> includes them BEFORE it: many of the
// names here (S_OK, WM_SIZE, DDSCL_*) are macros there, with the same values.
// COM-style objects return the remaining count from Release and are held through Ref<T>.
#pragma once

#include "platform/dialog.h"
#include "platform/gdi.h"
#include "platform/graphics.h"
#include "platform/handles.h"
#include "platform/ref.h"
#include "platform/registry.h"
#include "platform/result.h"
#include "platform/sound.h"
#include "platform/system.h"
#include "platform/window.h"

namespace nb {

// The ports of one running program. The application makes one, with every member set, and
// passes it (or single ports of it) down; nothing here owns the ports.
struct Platform {
  GraphicsSystem& graphics;
  SoundSystem& sound;
  Registry& registry;
  System& system;
  WindowSystem& windows;
  Gdi& gdi;
  DialogSystem& dialogs;
};

}  // namespace nb
