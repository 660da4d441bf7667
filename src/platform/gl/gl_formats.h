// Pixel formats of the OpenGL device: the DDPIXELFORMAT records it offers, packing and
// unpacking of a pixel by the format's masks, the matching OpenGL upload and read-back
// formats, and the CPU pixel store that staging and texture surfaces keep.
// Depends on the graphics port records only; no GL header (GL enums are plain numbers
// here so that this file stays testable without a context).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics.h"

namespace nb {

DDPIXELFORMAT GlFormatRgb565();
DDPIXELFORMAT GlFormatXrgb1555();
DDPIXELFORMAT GlFormatArgb1555();
DDPIXELFORMAT GlFormatArgb4444();
DDPIXELFORMAT GlFormatXrgb8888();
DDPIXELFORMAT GlFormatArgb8888();
DDPIXELFORMAT GlFormatZBuffer(uint32_t bits, uint32_t stencilBits);

// How a surface of some pixel format lives in OpenGL: internal format, the client
// format/type pair for upload and read-back (rows top-down, tightly packed), and whether
// the alpha channel must read as one because the format has none.
struct GlPixelLayout {
  uint32_t internalFormat = 0;
  uint32_t format = 0;
  uint32_t type = 0;
  uint32_t bytesPerPixel = 0;
  bool alphaIsOne = false;
};

// The layout for an RGB format of 16 or 32 bits with one of the offered mask sets;
// false for any other format (palettized, FourCC, luminance, foreign masks).
bool GlLayoutFor(const DDPIXELFORMAT& format, GlPixelLayout* out);

// Bytes per pixel of an RGB format (2, 3 or 4); 0 when the bit count is unusable.
uint32_t GlBytesPerPixel(const DDPIXELFORMAT& format);

// Encodes 0x00RRGGBB in the format, each channel keeping its top bits; an alpha mask is
// filled with ones (opaque).
uint32_t GlPackRgb(const DDPIXELFORMAT& format, uint32_t rgb);
// Decodes a pixel to 0x00RRGGBB, widening channels by repeating their top bits (so a
// five-bit 31 becomes 255 and every value lands on the format's steps).
uint32_t GlUnpackRgb(const DDPIXELFORMAT& format, uint32_t pixel);
// The pixel as 0xAARRGGBB; formats without alpha read as opaque.
uint32_t GlUnpackArgb(const DDPIXELFORMAT& format, uint32_t pixel);

// Pixels of one surface in its own format, rows top-down and tightly packed.
class GlPixelStore {
 public:
  GlPixelStore() = default;
  GlPixelStore(uint32_t width, uint32_t height, const DDPIXELFORMAT& format);

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  uint32_t pitch() const { return pitch_; }
  uint32_t bytesPerPixel() const { return bytesPerPixel_; }
  const DDPIXELFORMAT& format() const { return format_; }
  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }

  uint32_t Raw(uint32_t x, uint32_t y) const;
  void SetRaw(uint32_t x, uint32_t y, uint32_t value);
  uint32_t GetRgb(uint32_t x, uint32_t y) const { return GlUnpackRgb(format_, Raw(x, y)); }
  void SetRgb(uint32_t x, uint32_t y, uint32_t rgb) { SetRaw(x, y, GlPackRgb(format_, rgb)); }

 private:
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t pitch_ = 0;
  uint32_t bytesPerPixel_ = 0;
  DDPIXELFORMAT format_{};
  std::vector<uint8_t> bytes_;
};

}  // namespace nb
