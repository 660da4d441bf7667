// The one place where the OpenGL device gets its context: GlContext is what the device
// needs from whoever owns the GL context (make it current, show a finished frame, know the
// window it shows frames in), and CreateHeadlessGlContext makes one on EGL's surfaceless
// platform (Mesa), with no window and no display server. The SDL adapter adds contexts
// that show frames in its windows.
// Depends on handles.h and the standard library in this header; EGL lives in the .cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/handles.h"

namespace nb {

class GlContext {
 public:
  virtual ~GlContext() = default;
  // Makes the context current on the calling thread (through SwitchGlContext, so that the
  // context current before is released first). False when it cannot be.
  virtual bool MakeCurrent() = 0;
  // Stops being current on the calling thread. Called by SwitchGlContext only.
  virtual void ReleaseCurrent() = 0;
  // Shows a finished frame: texture is the GL name of a width x height 2-D texture whose
  // row 0 is the top row of the picture. A context without a screen ignores it.
  virtual void Present(uint32_t texture, uint32_t width, uint32_t height) = 0;
  // The window whose exclusive display the frames are for, NoWindow when the display is
  // given back. A context without a screen ignores it.
  virtual void SetWindow(Window window) = 0;
  // GL_RENDERER of the context (for device descriptions and reports).
  virtual std::string Renderer() const = 0;
  // True when the renderer is a software rasterizer (llvmpipe, softpipe, swrast).
  virtual bool IsSoftware() const = 0;
};

// One thread may have one current context, whatever API made it: GLVND refuses a GLX
// context while an EGL one is current (BadAccess), and the other way round. Every context
// becomes current through this: when next is not the one current, the current one is
// released first and make (the API's own make-current call) runs. True when next is
// current afterwards.
bool SwitchGlContext(GlContext* next, const std::function<bool()>& make);
// Records that context was made current by other means (a toolkit call that makes the new
// context current), after ReleaseCurrentGlContext.
void NoteGlContextCurrent(GlContext* context);
// Releases whichever context is current (nothing when none is).
void ReleaseCurrentGlContext();
// For a context's destructor: releases it when it is current and forgets it.
void ForgetGlContext(GlContext* context);
// The context made current last, null when none is.
GlContext* CurrentGlContext();

// An OpenGL 3.3 core context on EGL_PLATFORM_SURFACELESS_MESA, already current. Null with
// a one-line reason in *error when EGL, the platform or the context is unavailable.
std::shared_ptr<GlContext> CreateHeadlessGlContext(std::string* error);

// Whether a GL_RENDERER string names a software rasterizer.
bool IsSoftwareRenderer(const std::string& renderer);

}  // namespace nb
