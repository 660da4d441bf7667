// The display framework: the exclusive full-screen display of one saver run. It builds,
// in a fixed order, the DirectDraw object of the chosen driver, the display mode, the flip
// chain (primary surface and one back buffer), the Direct3D interface, the device that
// renders into the back buffer and its viewport; presents frames by flipping; restores
// lost surfaces; hands the screen back to GDI for menus; and releases everything in a
// fixed order, reporting references that outlive it.
// Depends on the graphics and window ports, device_catalog.h (ModeEntry) and
// result_codes.h. Must not create a depth buffer or a windowed display, and lends its
// interfaces without adding references.
#pragma once

#include <cstdint>

#include "display/device_catalog.h"
#include "display/result_codes.h"
#include "platform/graphics.h"
#include "platform/handles.h"
#include "platform/ref.h"
#include "platform/window.h"

namespace nb {

class DisplayFramework {
 public:
  DisplayFramework(GraphicsSystem& graphics, WindowSystem& windows);
  DisplayFramework(const DisplayFramework&) = delete;
  DisplayFramework& operator=(const DisplayFramework&) = delete;
  // Runs ReleaseAll.
  ~DisplayFramework();

  // Takes window full-screen in mode on the given driver and device (the addresses of the
  // catalogue entries' guid fields; the primary driver's is an all-zero GUID). 0, or
  // E_INVALIDARG (no window, mode or device GUID), NoDirectDraw, NoCooperativeLevel,
  // NoDirect3D, NoDepthFormat, BadDisplayMode, NoPrimary, NoBackBuffer,
  // DDERR_OUTOFVIDEOMEMORY, NeedHighColorDisplay, No3DDevice, NoViewport. On failure
  // everything built so far is released again.
  int32_t Initialize(Window window, const GUID* driverGuid, const GUID* deviceGuid,
                     const ModeEntry* mode);
  // Releases viewport, device, render target, flip chain, Direct3D and DirectDraw in that
  // order, leaving the display to the desktop. Always releases everything; returns
  // NonzeroRefCount when the device or DirectDraw object was still referenced elsewhere,
  // else 0 (also when there was nothing to release).
  int32_t ReleaseAll();
  // Flips the back buffer to the screen, waiting until the flip can be queued. The flip's
  // result (DDERR_SURFACELOST when the display was lost), or NoFrontBuffer when not started.
  int32_t PresentFrame();
  // Brings the GDI surface to the front so windows and menus can be seen; with
  // redrawFrame also redraws the window's menu bar and frame. Returns 0.
  int32_t ShowGdiSurface(bool redrawFrame);
  // Restores the memory of the primary and back surfaces when lost (not their contents).
  // Returns 0.
  int32_t RestoreLostSurfaces();

  // Lent without a reference; null while not started.
  Device3D* GetDevice() const { return device3D_.Get(); }
  Viewport3D* GetViewport() const { return viewport_.Get(); }
  DirectDraw* GetDirectDraw() const { return directDraw_.Get(); }
  // (0, 0, render width, render height) of the current mode.
  const RECT* GetViewportRect() const { return &viewportRect_; }

  Window window() const { return window_; }
  uint32_t renderWidth() const { return renderWidth_; }
  uint32_t renderHeight() const { return renderHeight_; }
  const DDPIXELFORMAT& depthFormat() const { return depthFormat_; }

 private:
  int32_t OpenDirectDraw(const GUID* driverGuid);
  int32_t OpenDirect3D(const GUID& deviceGuid);
  int32_t BuildFlipChain(const ModeEntry& mode);
  int32_t OpenDevice(const GUID& deviceGuid);
  int32_t BuildViewport();

  GraphicsSystem& graphics_;
  WindowSystem& windows_;

  Window window_{};
  uint32_t renderWidth_ = 0;
  uint32_t renderHeight_ = 0;
  RECT viewportRect_{0, 0, 0, 0};
  Ref<DrawSurface> frontBuffer_;
  // The reference from GetAttachedSurface belongs to the flip chain: the platform destroys
  // the back buffer with the primary surface, so this pointer is dropped, never released.
  DrawSurface* backBuffer_ = nullptr;
  Ref<DrawSurface> renderTarget_;
  Ref<Device3D> device3D_;
  Ref<Viewport3D> viewport_;
  Ref<DirectDraw> directDraw_;
  Ref<Direct3D> direct3D_;
  DDPIXELFORMAT depthFormat_{};
};

}  // namespace nb
