// Pixel formats, packing by masks and the CPU pixel store of the OpenGL device.
// Depends on gl_formats.h and the GL enum values of <GL/glcorearb.h> (no GL calls).
#include "platform/gl/gl_formats.h"

#include "platform/pixel_format.h"

#include <GL/glcorearb.h>

#include <cstring>

namespace nb {
namespace {

bool Masks(const DDPIXELFORMAT& f, uint32_t bits, uint32_t r, uint32_t g, uint32_t b) {
  return f.dwRGBBitCount == bits && f.dwRBitMask == r && f.dwGBitMask == g &&
         f.dwBBitMask == b;
}

}  // namespace

DDPIXELFORMAT GlFormatRgb565() { return MakeRgbFormat(16, 0xF800, 0x07E0, 0x001F, 0); }
DDPIXELFORMAT GlFormatXrgb1555() { return MakeRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0); }
DDPIXELFORMAT GlFormatArgb1555() { return MakeRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000); }
DDPIXELFORMAT GlFormatArgb4444() { return MakeRgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000); }
DDPIXELFORMAT GlFormatXrgb8888() { return MakeRgbFormat(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0); }
DDPIXELFORMAT GlFormatArgb8888() {
  return MakeRgbFormat(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
}

DDPIXELFORMAT GlFormatZBuffer(uint32_t bits, uint32_t stencilBits) {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(DDPIXELFORMAT);
  f.dwFlags = DDPF_ZBUFFER | (stencilBits ? DDPF_STENCILBUFFER : 0);
  f.dwZBufferBitDepth = bits;
  f.dwStencilBitDepth = stencilBits;
  const uint32_t depthBits = bits - stencilBits;
  f.dwZBitMask = depthBits >= 32 ? 0xFFFFFFFFu : ((1u << depthBits) - 1u) << stencilBits;
  f.dwStencilBitMask = stencilBits ? (1u << stencilBits) - 1u : 0;
  return f;
}

bool GlLayoutFor(const DDPIXELFORMAT& f, GlPixelLayout* out) {
  if ((f.dwFlags & DDPF_RGB) == 0 || (f.dwFlags & (DDPF_FOURCC | DDPF_PALETTEINDEXED8)) != 0) {
    return false;
  }
  const bool alpha = (f.dwFlags & DDPF_ALPHAPIXELS) != 0;
  GlPixelLayout l;
  if (Masks(f, 16, 0xF800, 0x07E0, 0x001F) && !alpha) {
    l = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, true};
  } else if (Masks(f, 16, 0x7C00, 0x03E0, 0x001F) && (!alpha || f.dwRGBAlphaBitMask == 0x8000)) {
    l = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, !alpha};
  } else if (Masks(f, 16, 0x0F00, 0x00F0, 0x000F) && alpha && f.dwRGBAlphaBitMask == 0xF000) {
    l = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, false};
  } else if (Masks(f, 32, 0x00FF0000, 0x0000FF00, 0x000000FF) &&
             (!alpha || f.dwRGBAlphaBitMask == 0xFF000000)) {
    l = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, !alpha};
  } else {
    return false;
  }
  if (out) *out = l;
  return true;
}

uint32_t GlBytesPerPixel(const DDPIXELFORMAT& f) {
  switch (f.dwRGBBitCount) {
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;
  }
}

uint32_t GlPackRgb(const DDPIXELFORMAT& f, uint32_t rgb) {
  return PackChannel(static_cast<uint8_t>(rgb >> 16), f.dwRBitMask) |
         PackChannel(static_cast<uint8_t>(rgb >> 8), f.dwGBitMask) |
         PackChannel(static_cast<uint8_t>(rgb), f.dwBBitMask) |
         ((f.dwFlags & DDPF_ALPHAPIXELS) ? f.dwRGBAlphaBitMask : 0);
}

uint32_t GlUnpackRgb(const DDPIXELFORMAT& f, uint32_t pixel) {
  return uint32_t{UnpackChannel(pixel, f.dwRBitMask)} << 16 |
         uint32_t{UnpackChannel(pixel, f.dwGBitMask)} << 8 | uint32_t{UnpackChannel(pixel, f.dwBBitMask)};
}

uint32_t GlUnpackArgb(const DDPIXELFORMAT& f, uint32_t pixel) {
  const uint32_t alpha =
      (f.dwFlags & DDPF_ALPHAPIXELS) ? uint32_t{UnpackChannel(pixel, f.dwRGBAlphaBitMask)} : 0xFF;
  return alpha << 24 | GlUnpackRgb(f, pixel);
}

GlPixelStore::GlPixelStore(uint32_t width, uint32_t height, const DDPIXELFORMAT& format)
    : width_(width), height_(height), bytesPerPixel_(GlBytesPerPixel(format)), format_(format) {
  pitch_ = width_ * bytesPerPixel_;
  bytes_.assign(static_cast<size_t>(pitch_) * height_, 0);
}

uint32_t GlPixelStore::Raw(uint32_t x, uint32_t y) const {
  if (x >= width_ || y >= height_) return 0;
  uint32_t v = 0;
  std::memcpy(&v, bytes_.data() + static_cast<size_t>(y) * pitch_ + x * bytesPerPixel_,
              bytesPerPixel_);
  return v;
}

void GlPixelStore::SetRaw(uint32_t x, uint32_t y, uint32_t value) {
  if (x >= width_ || y >= height_) return;
  std::memcpy(bytes_.data() + static_cast<size_t>(y) * pitch_ + x * bytesPerPixel_, &value,
              bytesPerPixel_);
}

}  // namespace nb
