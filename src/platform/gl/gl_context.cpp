// The headless GL context over EGL's surfaceless platform, and the bookkeeping of which
// context is current.
// Depends on EGL and OpenGL (libEGL, libOpenGL through GLVND). Must not open any window
// or display connection: it runs in tests and tools with no X server.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/gl/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glcorearb.h>

namespace nb {
namespace {

// Everything that draws runs on the program's one thread.
GlContext* currentContext = nullptr;

class HeadlessGlContext final : public GlContext {
 public:
  HeadlessGlContext(EGLDisplay display, EGLContext context)
      : display_(display), context_(context) {}
  ~HeadlessGlContext() override {
    ForgetGlContext(this);
    eglDestroyContext(display_, context_);
    // The display stays initialised: EGL counts nothing, and another context of this
    // process may still be using it.
  }
  bool MakeCurrent() override {
    return SwitchGlContext(this, [this] {
      return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
    });
  }
  void ReleaseCurrent() override {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  }
  // Nothing to show on: frames are read back from the render target instead.
  void Present(uint32_t, uint32_t, uint32_t) override {}
  void SetWindow(Window) override {}
  std::string Renderer() const override { return renderer_; }
  bool IsSoftware() const override { return IsSoftwareRenderer(renderer_); }

  void SetRenderer(std::string renderer) { renderer_ = std::move(renderer); }

 private:
  EGLDisplay display_;
  EGLContext context_;
  std::string renderer_;
};

}  // namespace

bool SwitchGlContext(GlContext* next, const std::function<bool()>& make) {
  if (next && next == currentContext) return true;
  ReleaseCurrentGlContext();
  if (!next || !make()) return false;
  currentContext = next;
  return true;
}

void NoteGlContextCurrent(GlContext* context) { currentContext = context; }

void ReleaseCurrentGlContext() {
  GlContext* previous = currentContext;
  currentContext = nullptr;
  if (previous) previous->ReleaseCurrent();
}

void ForgetGlContext(GlContext* context) {
  if (context && context == currentContext) ReleaseCurrentGlContext();
}

GlContext* CurrentGlContext() { return currentContext; }

bool IsSoftwareRenderer(const std::string& renderer) {
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
    if (renderer.find(name) != std::string::npos) return true;
  }
  return false;
}

std::shared_ptr<GlContext> CreateHeadlessGlContext(std::string* error) {
  auto fail = [error](const char* why) {
    if (error) *error = why;
    return std::shared_ptr<GlContext>();
  };
  const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (!extensions || std::string(extensions).find("EGL_MESA_platform_surfaceless") == std::string::npos) {
    return fail("EGL offers no surfaceless platform (EGL_MESA_platform_surfaceless)");
  }
  EGLDisplay display =
      eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) return fail("no EGL surfaceless display");
  EGLint major = 0;
  EGLint minor = 0;
  if (!eglInitialize(display, &major, &minor)) return fail("EGL could not be initialised");
  if (!eglBindAPI(EGL_OPENGL_API)) return fail("EGL has no desktop OpenGL");
  const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3,
                               EGL_CONTEXT_MINOR_VERSION, 3,
                               EGL_CONTEXT_OPENGL_PROFILE_MASK,
                               EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                               EGL_NONE};
  EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (context == EGL_NO_CONTEXT) return fail("no OpenGL 3.3 core context on EGL");
  auto result = std::make_shared<HeadlessGlContext>(display, context);
  if (!result->MakeCurrent()) return fail("the EGL context cannot be made current");
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  result->SetRenderer(renderer ? renderer : "");
  return result;
}

}  // namespace nb
