// The one place where the OpenGL device gets its context: GlContext is what the device
// needs from whoever owns the GL context (make it current, show a finished frame), and
// CreateHeadlessGlContext makes one on EGL's surfaceless platform (Mesa), with no window
// and no display server. The SDL adapter gives its own window's context instead.
// Depends on nothing but the standard library in this header; EGL lives in the .cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace nb {

class GlContext {
 public:
  virtual ~GlContext() = default;
  // Makes the context current on the calling thread. False when it cannot be.
  virtual bool MakeCurrent() = 0;
  // Shows a finished frame: texture is the GL name of a width x height 2-D texture whose
  // row 0 is the top row of the picture. A context without a screen ignores it.
  virtual void Present(uint32_t texture, uint32_t width, uint32_t height) = 0;
  // GL_RENDERER of the context (for device descriptions and reports).
  virtual std::string Renderer() const = 0;
  // True when the renderer is a software rasterizer (llvmpipe, softpipe, swrast).
  virtual bool IsSoftware() const = 0;
};

// An OpenGL 3.3 core context on EGL_PLATFORM_SURFACELESS_MESA, already current. Null with
// a one-line reason in *error when EGL, the platform or the context is unavailable.
std::shared_ptr<GlContext> CreateHeadlessGlContext(std::string* error);

// Whether a GL_RENDERER string names a software rasterizer.
bool IsSoftwareRenderer(const std::string& renderer);

}  // namespace nb
