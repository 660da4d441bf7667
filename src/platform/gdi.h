// The GDI port: device contexts, bitmaps and the two blits the system needs, for the
// preview (stretching bitmap 400 into a window) and the texture copy (a bitmap blitted
// into the device context of a DirectDraw staging surface, DrawSurface::GetDC).
// Depends on handles.h. Bitmaps are made by System::LoadBitmapA / LoadImageA.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace nb {

inline constexpr uint32_t SRCCOPY = 0x00CC0020;
inline constexpr int32_t COLORONCOLOR = 3;
inline constexpr int32_t BLACKONWHITE = 1;

// What GetObjectA reports for a bitmap. For a device-independent bitmap (LoadImageA with
// LR_CREATEDIBSECTION) bmBits points at the pixel rows: bottom-up, each row bmWidthBytes
// long (padded to 4 bytes), 24-bit pixels in blue-green-red order. bmBits is null for a
// device-dependent bitmap.
struct BITMAP {
  int32_t bmType;
  int32_t bmWidth;
  int32_t bmHeight;
  int32_t bmWidthBytes;
  uint16_t bmPlanes;
  uint16_t bmBitsPixel;
  void* bmBits;
};

// A colour-table entry of a palettized bitmap (blue, green, red, reserved).
struct RGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

class Gdi {
 public:
  // The device context of a window's client area. Returns NoDc on failure. Must be given
  // back with ReleaseDC.
  virtual Dc GetDC(Window window) = 0;
  // Gives back a context from GetDC. Returns 1 when released, 0 otherwise.
  virtual int32_t ReleaseDC(Window window, Dc dc) = 0;
  // A memory device context compatible with dc (NoDc: with the screen). Holds a 1x1
  // monochrome bitmap until another is selected. Returns NoDc on failure.
  virtual Dc CreateCompatibleDC(Dc dc) = 0;
  // Deletes a context from CreateCompatibleDC. Returns false for an unknown context.
  virtual bool DeleteDC(Dc dc) = 0;
  // Selects bitmap into a memory context; returns the bitmap selected before, or
  // NoBitmap on failure (unknown context or bitmap, bitmap selected elsewhere).
  virtual Bitmap SelectObject(Dc dc, Bitmap bitmap) = 0;
  // Sets how StretchBlt drops pixels (COLORONCOLOR, ...); returns the previous mode,
  // 0 on failure.
  virtual int32_t SetStretchBltMode(Dc dc, int32_t mode) = 0;
  // Copies a width x height block from (srcX, srcY) of src to (x, y) of dst; rop is
  // SRCCOPY. Pixels are converted to the destination's format. Returns false on failure.
  virtual bool BitBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src,
                      int32_t srcX, int32_t srcY, uint32_t rop) = 0;
  // As BitBlt, stretching the source block to the destination block.
  virtual bool StretchBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height,
                          Dc src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                          int32_t srcHeight, uint32_t rop) = 0;
  // Describes a bitmap. Returns the number of bytes written to *out (sizeof(BITMAP)),
  // 0 for an unknown bitmap or a null out.
  virtual int32_t GetObjectA(Bitmap bitmap, BITMAP* out) = 0;
  // Reads up to count colour-table entries, from start, of the DIB selected into dc.
  // Returns the number of entries read (0 for bitmaps without a colour table).
  virtual uint32_t GetDIBColorTable(Dc dc, uint32_t start, uint32_t count, RGBQUAD* out) = 0;
  // Deletes a bitmap that is not selected into any context. Returns false otherwise.
  virtual bool DeleteObject(Bitmap bitmap) = 0;

 protected:
  ~Gdi() = default;
};

}  // namespace nb
