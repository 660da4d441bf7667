// How a GDI lends a device context onto a DirectDraw surface of the OpenGL device
// (DrawSurface::GetDC): the surface offers its pixels as SurfacePixels, and the GDI in use
// (MemoryGdi here, the SDL adapter's later) turns them into a Dc that BitBlt can draw
// into. Depends on handles.h only.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace nb {

// The pixels of one surface while a context is open on it; colours are 0x00RRGGBB.
class SurfacePixels {
 public:
  virtual uint32_t Width() const = 0;
  virtual uint32_t Height() const = 0;
  // Coordinates outside the surface read 0 and write nothing.
  virtual uint32_t GetRgb(uint32_t x, uint32_t y) const = 0;
  virtual void SetRgb(uint32_t x, uint32_t y, uint32_t rgb) = 0;

 protected:
  ~SurfacePixels() = default;
};

class SurfaceDcBridge {
 public:
  // A device context that draws into pixels (not owned; valid until CloseSurfaceDc).
  // NoDc when no context can be made.
  virtual Dc OpenSurfaceDc(SurfacePixels* pixels) = 0;
  // Ends a context of OpenSurfaceDc; drawing done through it is then in the pixels.
  // False for a context this bridge did not open.
  virtual bool CloseSurfaceDc(Dc dc) = 0;

 protected:
  ~SurfaceDcBridge() = default;
};

}  // namespace nb
