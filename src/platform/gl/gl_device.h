// The Direct3D-style device over OpenGL: a DirectDraw driver whose Direct3D devices render
// into OpenGL framebuffers (16-bit 5-6-5 or 32-bit targets), with driver-managed texture
// surfaces in 16-bit formats, system-memory staging surfaces, a flip chain whose front
// buffer goes to the context's Present, and read-back of any surface.
// Depends on the graphics ports, gl_context.h and surface_dc.h. The objects are made
// with CreateGlDirectDraw and owned through Ref like any port object; the GL contexts must
// outlive every object of the driver (the driver keeps shared pointers to them).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl/gl_context.h"
#include "platform/gl/surface_dc.h"
#include "platform/graphics.h"
#include "platform/ref.h"

namespace nb {

// The names of the driver's two devices, as the saved device choice holds them.
inline constexpr const char* glSoftwareDeviceName = "RGB Emulation";
inline constexpr const char* glHardwareDeviceName = "Direct3D HAL";

struct GlDisplayMode {
  uint32_t width;
  uint32_t height;
  uint32_t bitsPerPixel;  // 16 or 32
};

struct GlDriverOptions {
  // The context everything is made in, and where the software device's frames go.
  std::shared_ptr<GlContext> context;
  // The context the hardware device renders in, made for the window of the exclusive
  // display when that device is created (the window's own context); null: none can be
  // made. Unset: the hardware device renders in `context` like the software one.
  std::function<std::shared_ptr<GlContext>(Window window)> hardwareContext;
  // Where DrawSurface::GetDC gets its contexts; null: GetDC fails with DDERR_CANTCREATEDC.
  SurfaceDcBridge* dcBridge = nullptr;
  // The display modes offered (each at its depth); empty: a list of common sizes at 16
  // and 32 bits. SetDisplayMode accepts any size at 16 or 32 bits, because the display is
  // a framebuffer of that size.
  std::vector<GlDisplayMode> modes;
  // The display mode before SetDisplayMode.
  GlDisplayMode desktop{640, 480, 32};
  // Offer a hardware device (IID_IDirect3DHALDevice) beside the software one
  // (IID_IDirect3DRGBDevice, "RGB Emulation"): true when the context's renderer is not a
  // software rasterizer.
  bool hardwareDevice = false;
};

// Counters of the driver's work, for benchmarks and tests.
struct GlDriverStats {
  uint64_t drawCalls = 0;     // OpenGL draw calls issued
  uint64_t primitiveCalls = 0;  // DrawPrimitiveStrided calls accepted
  uint64_t triangles = 0;
  uint64_t flushes = 0;       // batches ended by a state change, a clear or a read
  double coveredPixels = 0;   // screen area of the triangles drawn, before clipping
};

// A DirectDraw object of the GL driver, one reference in *out (query it for
// IID_IDirect3D3 for its Direct3D interface, which shares its reference count).
// DD_OK; DDERR_INVALIDPARAMS for a null out or context; DDERR_NODIRECTDRAWHW when the
// context cannot be made current or the shader cannot be built.
int32_t CreateGlDirectDraw(const GlDriverOptions& options, DirectDraw** out);

// The driver's counters, or zeros for an object that is not of this driver.
GlDriverStats GetGlDriverStats(DirectDraw* directDraw);
void ResetGlDriverStats(DirectDraw* directDraw);

// Ends every pending batch of the driver's devices and waits until OpenGL has finished
// all drawing (for timing whole frames).
void WaitForGlDriver(DirectDraw* directDraw);

// Marks the display lost (another program owns it, the window is gone) or back: while
// lost, TestCooperativeLevel fails, the flip chain reports DDERR_SURFACELOST and cannot be
// restored; once back, Restore brings the surfaces back (contents undefined).
void SetGlDisplayLost(DirectDraw* directDraw, bool lost);

// Reads any surface into 8-bit RGB, rows top-down (width * height * 3 bytes), through
// Lock with DDLOCK_READONLY: what a 16-bit surface holds comes back widened by repeating
// bits, so its values stay on the format's steps. DD_OK, DDERR_INVALIDPARAMS, or the
// result of Lock.
int32_t ReadSurfaceRgb8(DrawSurface* surface, std::vector<uint8_t>* rgb, uint32_t* width,
                        uint32_t* height);

}  // namespace nb
