// The GDI port of the Linux program: the memory GDI (bitmaps, memory contexts, the
// contexts of the OpenGL device's surfaces) plus contexts on windows, which draw into the
// window's SDL framebuffer and send it to the screen when given back. The preview stretches
// its picture into its child window through one.
// Depends on memory_gdi.h and sdl_window.h.
#pragma once

#include <map>
#include <memory>

#include "platform/gl/memory_gdi.h"
#include "platform/sdl/sdl_window.h"

namespace nb {

class SdlGdi final : public Gdi {
 public:
  explicit SdlGdi(SdlWindowSystem& windows) : windows_(windows) {}
  ~SdlGdi();
  SdlGdi(const SdlGdi&) = delete;
  SdlGdi& operator=(const SdlGdi&) = delete;

  // The memory GDI underneath: the OpenGL device's bridge for surface contexts, and where
  // the program's bitmaps are made.
  MemoryGdi& memory() { return memory_; }

  Dc GetDC(Window window) override;
  int32_t ReleaseDC(Window window, Dc dc) override;
  Dc CreateCompatibleDC(Dc dc) override { return memory_.CreateCompatibleDC(dc); }
  bool DeleteDC(Dc dc) override { return memory_.DeleteDC(dc); }
  Bitmap SelectObject(Dc dc, Bitmap bitmap) override { return memory_.SelectObject(dc, bitmap); }
  int32_t SetStretchBltMode(Dc dc, int32_t mode) override {
    return memory_.SetStretchBltMode(dc, mode);
  }
  bool BitBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src, int32_t srcX,
              int32_t srcY, uint32_t rop) override {
    return memory_.BitBlt(dst, x, y, width, height, src, srcX, srcY, rop);
  }
  bool StretchBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src,
                  int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                  uint32_t rop) override {
    return memory_.StretchBlt(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop);
  }
  int32_t GetObjectA(Bitmap bitmap, BITMAP* out) override { return memory_.GetObjectA(bitmap, out); }
  uint32_t GetDIBColorTable(Dc dc, uint32_t start, uint32_t count, RGBQUAD* out) override {
    return memory_.GetDIBColorTable(dc, start, count, out);
  }
  bool DeleteObject(Bitmap bitmap) override { return memory_.DeleteObject(bitmap); }

 private:
  class WindowPixels;
  struct WindowDc {
    Window window;
    std::shared_ptr<SurfacePixels> pixels;
  };
  SdlWindowSystem& windows_;
  MemoryGdi memory_;
  std::map<uintptr_t, WindowDc> windowDcs_;
};

}  // namespace nb
