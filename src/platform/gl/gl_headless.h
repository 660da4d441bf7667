// A complete headless display on the OpenGL driver: an EGL surfaceless context, the memory
// GDI, the DirectDraw and Direct3D interfaces, an off-screen render target of the given
// size and depth (5-6-5 for 16 bits), the software device rendering into it and one
// viewport covering it, made in the order the display framework makes them. For the
// render tool, the image tests and the frame benchmark.
// Depends on gl_device.h, memory_gdi.h. Owns everything it holds; releases in reverse.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl/gl_context.h"
#include "platform/gl/gl_device.h"
#include "platform/gl/memory_gdi.h"
#include "platform/graphics.h"
#include "platform/handles.h"
#include "platform/ref.h"

namespace nb {

struct HeadlessDisplay {
  std::shared_ptr<GlContext> context;
  MemoryGdi gdi;
  Ref<DirectDraw> directDraw;
  Ref<Direct3D> direct3D;
  Ref<DrawSurface> renderTarget;
  Ref<Device3D> device;
  Ref<Viewport3D> viewport;
  RECT viewportRect{};  // (0, 0, width, height), what the scene clears

  // The render target as 8-bit RGB rows, top row first. DD_OK or the result of Lock.
  int32_t ReadRgb8(std::vector<uint8_t>* rgb, uint32_t* width, uint32_t* height) const;
};

// Builds the display. DD_OK, or the failing step's result with a one-line reason in
// *error (no GL context, no render target of that size, ...); bitsPerPixel is 16 or 32.
int32_t OpenHeadlessDisplay(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                            std::unique_ptr<HeadlessDisplay>* out, std::string* error);

}  // namespace nb
