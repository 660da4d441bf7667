// A window's picture drawn with OpenGL in the window itself, at the window's size in
// pixels. It takes the place of SDL's window surfaces where those cannot show a frame
// pixel for pixel: SDL's Wayland driver has none of its own, and the ones it lends count
// in the logical units of a scaled output (a 1024x768 output at scale 2 would get a
// 512x384 surface, blown up again). It shows the software device's frames letterboxed
// (black bars, nearest-neighbour), paints windows black, and lends a surface of its pixel
// size for drawing in memory.
// Depends on SDL2's GL functions, gl_context.h and gl_present.h.
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gl/gl_context.h"
#include "platform/gl/gl_present.h"

namespace nb {

class SdlCanvas final : public GlContext {
 public:
  // Null (with SDL's reason on the error stream, once) when the window was made without
  // OpenGL or no context can be made in it.
  static std::unique_ptr<SdlCanvas> Create(SDL_Window* window);
  ~SdlCanvas() override;
  SdlCanvas(const SdlCanvas&) = delete;
  SdlCanvas& operator=(const SdlCanvas&) = delete;

  // Rows of 0x00RRGGBB words, top row first, scaled to the window with the aspect kept.
  // False when nothing could be drawn.
  bool ShowPixels(const uint32_t* pixels, uint32_t width, uint32_t height);
  // The whole window black.
  bool Fill();
  // Pixels of the window's size in pixels to draw into (kept until the size changes), and
  // showing them.
  SDL_Surface* Surface();
  void ShowSurface();

  bool MakeCurrent() override;
  void ReleaseCurrent() override;
  // Frames of the devices reach a canvas as pixels (ShowPixels), never as textures.
  void Present(uint32_t, uint32_t, uint32_t) override {}
  void SetWindow(Window) override {}
  std::string Renderer() const override { return renderer_; }
  bool IsSoftware() const override { return IsSoftwareRenderer(renderer_); }

 private:
  SdlCanvas(SDL_Window* window, SDL_GLContext context);
  bool Draw(const void* bgra, uint32_t width, uint32_t height);

  SDL_Window* window_;
  SDL_GLContext context_;
  std::string renderer_;
  GlFrameBlitter blitter_;
  uint32_t texture_ = 0;
  uint32_t textureWidth_ = 0;
  uint32_t textureHeight_ = 0;
  SDL_Surface* surface_ = nullptr;
};

}  // namespace nb
