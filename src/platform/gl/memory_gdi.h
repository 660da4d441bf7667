// A GDI of memory bitmaps for platforms without one: 24-bit device-independent bitmaps,
// memory device contexts, and BitBlt / StretchBlt between them and the device contexts of
// the OpenGL driver's surfaces (it is the driver's SurfaceDcBridge). It is what the
// texture manager copies its bitmaps through on Linux. Windows have no contexts here.
// Depends on the GDI port and surface_dc.h; no GL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/gdi.h"
#include "platform/gl/surface_dc.h"

namespace nb {

class MemoryGdi final : public Gdi, public SurfaceDcBridge {
 public:
  MemoryGdi() = default;
  MemoryGdi(const MemoryGdi&) = delete;
  MemoryGdi& operator=(const MemoryGdi&) = delete;

  // A 24-bit device-independent bitmap from rgb (width * height * 3 bytes, red first, top
  // row first); the caller owns it until DeleteObject. NoBitmap for an empty size or null
  // pixels.
  Bitmap CreateDib(uint32_t width, uint32_t height, const uint8_t* rgb);
  // Pixel (x, y from the top) of a bitmap as 0x00RRGGBB; 0 outside it or for no bitmap.
  uint32_t BitmapPixel(Bitmap bitmap, uint32_t x, uint32_t y) const;
  size_t BitmapCount() const { return bitmaps_.size(); }
  size_t OpenDcCount() const { return dcs_.size(); }

  // ---- Gdi
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

  // ---- SurfaceDcBridge
  Dc OpenSurfaceDc(SurfacePixels* pixels) override;
  bool CloseSurfaceDc(Dc dc) override;

  // What every new memory context holds until a bitmap is selected (1 x 1, black).
  static constexpr Bitmap stockBitmap{0x10};

 private:
  struct Dib {
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowBytes = 0;
    std::vector<uint8_t> bits;  // bottom-up rows, blue-green-red
    Dc selectedInto{};
  };
  struct DcEntry {
    bool memory = true;
    Bitmap selected = stockBitmap;
    SurfacePixels* surface = nullptr;
    int32_t stretchMode = BLACKONWHITE;
  };
  class View;
  bool ViewOf(Dc dc, View* view);

  uintptr_t NewHandle() { return next_ += 4; }

  std::map<uintptr_t, Dib> bitmaps_;
  std::map<uintptr_t, DcEntry> dcs_;
  uintptr_t next_ = 0x100;
};

}  // namespace nb
