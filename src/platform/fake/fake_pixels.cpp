// Pixel formats, conversion and the stretching copy of the fakes.
#include "platform/fake/fake_pixels.h"

#include "platform/pixel_format.h"

#include <cstring>

namespace nb::fake {

namespace {

bool Palettized(const DDPIXELFORMAT& f) { return (f.dwFlags & DDPF_PALETTEINDEXED8) != 0; }

}  // namespace

DDPIXELFORMAT FormatRgb565() { return MakeRgbFormat(16, 0xF800, 0x07E0, 0x001F, 0); }
DDPIXELFORMAT FormatRgb555() { return MakeRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0); }
DDPIXELFORMAT FormatArgb1555() { return MakeRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000); }
DDPIXELFORMAT FormatArgb4444() { return MakeRgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000); }
DDPIXELFORMAT FormatRgb888() { return MakeRgbFormat(24, 0xFF0000, 0x00FF00, 0x0000FF, 0); }
DDPIXELFORMAT FormatXrgb8888() { return MakeRgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0); }
DDPIXELFORMAT FormatArgb8888() { return MakeRgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000); }

DDPIXELFORMAT FormatPal8() {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(DDPIXELFORMAT);
  f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
  f.dwRGBBitCount = 8;
  return f;
}

DDPIXELFORMAT FormatLuminance8() {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(DDPIXELFORMAT);
  f.dwFlags = DDPF_LUMINANCE;
  f.dwRGBBitCount = 8;
  f.dwRBitMask = 0xFF;
  return f;
}

DDPIXELFORMAT FormatZBuffer(uint32_t bits) {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(DDPIXELFORMAT);
  f.dwFlags = DDPF_ZBUFFER;
  f.dwZBufferBitDepth = bits;
  f.dwZBitMask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  return f;
}

DDPIXELFORMAT FormatZBufferStencil(uint32_t bits, uint32_t stencilBits) {
  DDPIXELFORMAT f = FormatZBuffer(bits);
  f.dwFlags |= DDPF_STENCILBUFFER;
  f.dwStencilBitDepth = stencilBits;
  f.dwZBitMask = (1u << (bits - stencilBits)) - 1;
  f.dwStencilBitMask = ((1u << stencilBits) - 1) << (bits - stencilBits);
  return f;
}

uint32_t BytesPerPixel(const DDPIXELFORMAT& format) {
  switch (format.dwRGBBitCount) {
    case 8: return 1;
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
  }
}

uint32_t PackRgb(const DDPIXELFORMAT& format, Rgb colour) {
  if (Palettized(format)) return colour.r;
  return PackChannel(colour.r, format.dwRBitMask) | PackChannel(colour.g, format.dwGBitMask) |
         PackChannel(colour.b, format.dwBBitMask) | format.dwRGBAlphaBitMask;
}

Rgb UnpackRgb(const DDPIXELFORMAT& format, uint32_t pixel) {
  if (Palettized(format)) {
    const auto index = static_cast<uint8_t>(pixel);
    return {index, index, index};
  }
  return {UnpackChannel(pixel, format.dwRBitMask), UnpackChannel(pixel, format.dwGBitMask),
          UnpackChannel(pixel, format.dwBBitMask)};
}

void CopyPixels(PixelTarget& dst, const RECT& dstRect, const PixelTarget& src, const RECT& srcRect) {
  const int64_t dw = int64_t{dstRect.right} - dstRect.left;
  const int64_t dh = int64_t{dstRect.bottom} - dstRect.top;
  const int64_t sw = int64_t{srcRect.right} - srcRect.left;
  const int64_t sh = int64_t{srcRect.bottom} - srcRect.top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  for (int64_t y = 0; y < dh; ++y) {
    const int64_t ty = dstRect.top + y;
    if (ty < 0 || ty >= dst.Height()) continue;
    const int64_t sy = srcRect.top + y * sh / dh;
    if (sy < 0 || sy >= src.Height()) continue;
    for (int64_t x = 0; x < dw; ++x) {
      const int64_t tx = dstRect.left + x;
      if (tx < 0 || tx >= dst.Width()) continue;
      const int64_t sx = srcRect.left + x * sw / dw;
      if (sx < 0 || sx >= src.Width()) continue;
      dst.Set(static_cast<int32_t>(tx), static_cast<int32_t>(ty),
              src.Get(static_cast<int32_t>(sx), static_cast<int32_t>(sy)));
    }
  }
}

PixelStore::PixelStore(int32_t width, int32_t height, const DDPIXELFORMAT& format)
    : width_(width > 0 ? width : 0),
      height_(height > 0 ? height : 0),
      bytesPerPixel_(BytesPerPixel(format)),
      format_(format) {
  pitch_ = static_cast<int32_t>(((static_cast<uint32_t>(width_) * bytesPerPixel_) + 3) & ~3u);
  bytes_.assign(static_cast<size_t>(pitch_) * static_cast<size_t>(height_), 0);
}

uint32_t PixelStore::Raw(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const uint8_t* p = bytes_.data() + static_cast<size_t>(y) * pitch_ + static_cast<size_t>(x) * bytesPerPixel_;
  uint32_t value = 0;
  for (uint32_t i = 0; i < bytesPerPixel_; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
  return value;
}

void PixelStore::SetRaw(int32_t x, int32_t y, uint32_t value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  uint8_t* p = bytes_.data() + static_cast<size_t>(y) * pitch_ + static_cast<size_t>(x) * bytesPerPixel_;
  for (uint32_t i = 0; i < bytesPerPixel_; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

Rgb PixelStore::Get(int32_t x, int32_t y) const { return UnpackRgb(format_, Raw(x, y)); }

void PixelStore::Set(int32_t x, int32_t y, Rgb colour) { SetRaw(x, y, PackRgb(format_, colour)); }

void PixelStore::Fill(uint8_t byte) { std::memset(bytes_.data(), byte, bytes_.size()); }

FakeBitmapData FakeBitmapData::Solid(int32_t width, int32_t height, Rgb colour) {
  FakeBitmapData bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.bitsPerPixel = 24;
  bitmap.bits.assign(static_cast<size_t>(bitmap.RowBytes()) * static_cast<size_t>(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) bitmap.SetPixel(x, y, colour);
  }
  return bitmap;
}

namespace {
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace

bool FakeBitmapData::FromBmpFile(const uint8_t* data, size_t size, FakeBitmapData* out) {
  if (!data || !out || size < 54 || data[0] != 'B' || data[1] != 'M') return false;
  const uint32_t offset = Le32(data + 10);
  const uint32_t headerSize = Le32(data + 14);
  if (headerSize < 40 || 14 + uint64_t{headerSize} > size) return false;
  const auto width = static_cast<int32_t>(Le32(data + 18));
  const auto rawHeight = static_cast<int32_t>(Le32(data + 22));
  const uint16_t bits = Le16(data + 28);
  const uint32_t compression = Le32(data + 30);
  uint32_t used = Le32(data + 46);
  if (width <= 0 || width > 16384 || rawHeight == 0 || rawHeight < -16384 || rawHeight > 16384) return false;
  if (compression != 0 || (bits != 24 && bits != 8)) return false;
  FakeBitmapData bitmap;
  bitmap.width = width;
  bitmap.height = rawHeight < 0 ? -rawHeight : rawHeight;
  bitmap.bitsPerPixel = bits;
  const size_t rowBytes = static_cast<size_t>(bitmap.RowBytes());
  const size_t imageBytes = rowBytes * static_cast<size_t>(bitmap.height);
  if (offset > size || size - offset < imageBytes) return false;
  if (bits == 8) {
    if (used == 0 || used > 256) used = 256;
    const size_t table = 14 + size_t{headerSize};
    if (table + used * 4 > offset) return false;
    for (uint32_t i = 0; i < used; ++i) {
      const uint8_t* e = data + table + i * 4;
      bitmap.colours.push_back({e[0], e[1], e[2], 0});
    }
  }
  bitmap.bits.resize(imageBytes);
  for (int32_t row = 0; row < bitmap.height; ++row) {
    // Stored bottom-up here whatever the file's order.
    const int32_t fileRow = rawHeight < 0 ? bitmap.height - 1 - row : row;
    std::memcpy(bitmap.bits.data() + static_cast<size_t>(row) * rowBytes,
                data + offset + static_cast<size_t>(fileRow) * rowBytes, rowBytes);
  }
  *out = std::move(bitmap);
  return true;
}

Rgb FakeBitmapData::Pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {0, 0, 0};
  const uint8_t* row = bits.data() + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(RowBytes());
  if (bitsPerPixel == 8) {
    const uint8_t index = row[x];
    return {index, index, index};
  }
  const uint8_t* p = row + static_cast<size_t>(x) * 3;
  return {p[2], p[1], p[0]};
}

void FakeBitmapData::SetPixel(int32_t x, int32_t y, Rgb colour) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  uint8_t* row = bits.data() + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(RowBytes());
  if (bitsPerPixel == 8) {
    row[x] = colour.r;
    return;
  }
  uint8_t* p = row + static_cast<size_t>(x) * 3;
  p[0] = colour.b;
  p[1] = colour.g;
  p[2] = colour.r;
}

}  // namespace nb::fake
