// The GDI port over the real gdi32/user32 calls.
// Depends on the GDI port; the platform headers stay inside the source file.
#pragma once

#include "platform/gdi.h"

namespace nb::win32 {

class Win32Gdi final : public Gdi {
 public:
  Dc GetDC(Window window) override;
  int32_t ReleaseDC(Window window, Dc dc) override;
  Dc CreateCompatibleDC(Dc dc) override;
  bool DeleteDC(Dc dc) override;
  Bitmap SelectObject(Dc dc, Bitmap bitmap) override;
  int32_t SetStretchBltMode(Dc dc, int32_t mode) override;
  bool BitBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src, int32_t srcX,
              int32_t srcY, uint32_t rop) override;
  bool StretchBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src,
                  int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                  uint32_t rop) override;
  int32_t GetObjectA(Bitmap bitmap, BITMAP* out) override;
  uint32_t GetDIBColorTable(Dc dc, uint32_t start, uint32_t count, RGBQUAD* out) override;
  bool DeleteObject(Bitmap bitmap) override;
};

}  // namespace nb::win32
