// The GL canvas of a window. Depends on sdl_canvas.h, SDL2 and OpenGL 3.3 core.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/sdl/sdl_canvas.h"

#include <GL/glcorearb.h>

#include <cstdio>

namespace nb {

std::unique_ptr<SdlCanvas> SdlCanvas::Create(SDL_Window* window) {
  if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) return nullptr;
  ReleaseCurrentGlContext();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    static bool told = false;
    if (!told) std::fprintf(stderr, "nightbloom: no OpenGL in the window: %s\n", SDL_GetError());
    told = true;
    return nullptr;
  }
  std::unique_ptr<SdlCanvas> canvas(new SdlCanvas(window, context));
  NoteGlContextCurrent(canvas.get());
  // Frames are paced by the program itself; a swap must never wait for an output that
  // shows nothing (turned off by the idle daemon, say).
  SDL_GL_SetSwapInterval(0);
  return canvas;
}

SdlCanvas::SdlCanvas(SDL_Window* window, SDL_GLContext context)
    : window_(window), context_(context) {
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  renderer_ = renderer ? renderer : "";
}

SdlCanvas::~SdlCanvas() {
  if (MakeCurrent()) {
    blitter_.Release();
    if (texture_) glDeleteTextures(1, &texture_);
  }
  ForgetGlContext(this);
  SDL_GL_DeleteContext(context_);
  if (surface_) SDL_FreeSurface(surface_);
}

bool SdlCanvas::MakeCurrent() {
  return SwitchGlContext(this, [this] { return SDL_GL_MakeCurrent(window_, context_) == 0; });
}

void SdlCanvas::ReleaseCurrent() { SDL_GL_MakeCurrent(window_, nullptr); }

bool SdlCanvas::Draw(const void* bgra, uint32_t width, uint32_t height) {
  if (!MakeCurrent()) return false;
  int drawableWidth = 0;
  int drawableHeight = 0;
  SDL_GL_GetDrawableSize(window_, &drawableWidth, &drawableHeight);
  if (drawableWidth <= 0 || drawableHeight <= 0) return false;
  if (bgra) {
    if (!texture_) glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (width != textureWidth_ || height != textureHeight_) {
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width),
                   static_cast<GLsizei>(height), 0, GL_BGRA, GL_UNSIGNED_BYTE, bgra);
      textureWidth_ = width;
      textureHeight_ = height;
    } else {
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width),
                      static_cast<GLsizei>(height), GL_BGRA, GL_UNSIGNED_BYTE, bgra);
    }
  }
  // Without pixels the letterbox is empty: the blitter only clears to black.
  if (!blitter_.Draw(texture_, bgra ? width : 0, bgra ? height : 0,
                     static_cast<uint32_t>(drawableWidth), static_cast<uint32_t>(drawableHeight))) {
    return false;
  }
  SDL_GL_SwapWindow(window_);
  return true;
}

bool SdlCanvas::ShowPixels(const uint32_t* pixels, uint32_t width, uint32_t height) {
  if (!pixels || width == 0 || height == 0) return false;
  // 0x00RRGGBB words are B, G, R, X bytes in memory.
  static_assert(SDL_BYTEORDER == SDL_LIL_ENDIAN);
  return Draw(pixels, width, height);
}

bool SdlCanvas::Fill() { return Draw(nullptr, 0, 0); }

SDL_Surface* SdlCanvas::Surface() {
  int width = 0;
  int height = 0;
  SDL_GL_GetDrawableSize(window_, &width, &height);
  if (width <= 0 || height <= 0) return nullptr;
  if (surface_ && (surface_->w != width || surface_->h != height)) {
    SDL_FreeSurface(surface_);
    surface_ = nullptr;
  }
  if (!surface_) {
    surface_ = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888);
    if (surface_) SDL_FillRect(surface_, nullptr, 0);
  }
  return surface_;
}

void SdlCanvas::ShowSurface() {
  if (!surface_ || surface_->pitch != surface_->w * 4) return;
  Draw(surface_->pixels, static_cast<uint32_t>(surface_->w), static_cast<uint32_t>(surface_->h));
}

}  // namespace nb
