// Pixel stores of the fakes: format conversion by the masks of a DDPIXELFORMAT, a common
// view over bitmaps, surfaces and window canvases, and the one stretching copy that
// BitBlt, StretchBlt and DrawSurface::Blt share. Formats of the usual 16-, 24- and 32-bit
// kinds and an 8-bit palettized kind (whose pixels are palette indices, carried in the
// red channel). Depends on graphics.h / gdi.h records. Test support only.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi.h"
#include "platform/graphics.h"

namespace nb::fake {

struct Rgb {
  uint8_t r;
  uint8_t g;
  uint8_t b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Common pixel formats, filled as a driver reports them.
DDPIXELFORMAT FormatRgb565();
DDPIXELFORMAT FormatRgb555();
DDPIXELFORMAT FormatArgb1555();
DDPIXELFORMAT FormatArgb4444();
DDPIXELFORMAT FormatRgb888();
DDPIXELFORMAT FormatXrgb8888();
DDPIXELFORMAT FormatArgb8888();
DDPIXELFORMAT FormatPal8();
DDPIXELFORMAT FormatLuminance8();
DDPIXELFORMAT FormatZBuffer(uint32_t bits);
DDPIXELFORMAT FormatZBufferStencil(uint32_t bits, uint32_t stencilBits);

// Bytes per pixel of a format (0 for an unusable bit count).
uint32_t BytesPerPixel(const DDPIXELFORMAT& format);
// Encodes a colour in the format: each channel keeps its top bits. Palettized formats take
// the red channel as the index.
uint32_t PackRgb(const DDPIXELFORMAT& format, Rgb colour);
// Decodes a pixel, widening channels by repeating their bits (so 0x1F -> 0xFF).
Rgb UnpackRgb(const DDPIXELFORMAT& format, uint32_t pixel);

class PixelTarget {
 public:
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual Rgb Get(int32_t x, int32_t y) const = 0;
  virtual void Set(int32_t x, int32_t y, Rgb colour) = 0;

 protected:
  ~PixelTarget() = default;
};

// Copies src's srcRect onto dst's dstRect, scaling with nearest-neighbour sampling (as
// COLORONCOLOR stretching does). Parts outside either store are skipped. Empty or
// inverted rectangles copy nothing.
void CopyPixels(PixelTarget& dst, const RECT& dstRect, const PixelTarget& src, const RECT& srcRect);

// A memory pixel store in one format with a row pitch (rows top-down).
class PixelStore final : public PixelTarget {
 public:
  PixelStore() = default;
  PixelStore(int32_t width, int32_t height, const DDPIXELFORMAT& format);

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  Rgb Get(int32_t x, int32_t y) const override;
  void Set(int32_t x, int32_t y, Rgb colour) override;

  uint32_t Raw(int32_t x, int32_t y) const;
  void SetRaw(int32_t x, int32_t y, uint32_t value);
  void Fill(uint8_t byte);
  uint8_t* Data() { return bytes_.data(); }
  int32_t Pitch() const { return pitch_; }
  const DDPIXELFORMAT& Format() const { return format_; }
  void Swap(PixelStore& other) { bytes_.swap(other.bytes_); }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t pitch_ = 0;
  uint32_t bytesPerPixel_ = 0;
  DDPIXELFORMAT format_{};
  std::vector<uint8_t> bytes_;
};

// A bitmap as GDI keeps it: a device-independent bitmap with bottom-up rows padded to 4
// bytes, 24-bit blue-green-red or 8-bit with a colour table.
struct FakeBitmapData {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitsPerPixel = 24;
  std::vector<uint8_t> bits;
  std::vector<RGBQUAD> colours;  // 8-bit bitmaps only
  // False for a device-dependent bitmap (LoadBitmapA): GetObjectA then reports no bits.
  bool deviceIndependent = true;

  // A 24-bit bitmap of the given size, every pixel the given colour.
  static FakeBitmapData Solid(int32_t width, int32_t height, Rgb colour);
  // Reads a .bmp file image (24-bit or 8-bit, uncompressed, either row order). Returns
  // false for anything else or a truncated image.
  static bool FromBmpFile(const uint8_t* data, size_t size, FakeBitmapData* out);

  int32_t RowBytes() const { return ((width * bitsPerPixel + 31) / 32) * 4; }
  Rgb Pixel(int32_t x, int32_t y) const;  // y from the top
  void SetPixel(int32_t x, int32_t y, Rgb colour);
};

// PixelTarget over a FakeBitmapData (not owned).
class BitmapPixels final : public PixelTarget {
 public:
  explicit BitmapPixels(FakeBitmapData* bitmap) : bitmap_(bitmap) {}
  int32_t Width() const override { return bitmap_->width; }
  int32_t Height() const override { return bitmap_->height; }
  Rgb Get(int32_t x, int32_t y) const override { return bitmap_->Pixel(x, y); }
  void Set(int32_t x, int32_t y, Rgb colour) override { bitmap_->SetPixel(x, y, colour); }

 private:
  FakeBitmapData* bitmap_;
};

}  // namespace nb::fake
