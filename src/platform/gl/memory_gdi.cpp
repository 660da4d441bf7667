// The memory GDI: bitmaps, memory contexts, surface contexts and the stretching copy.
// Depends on memory_gdi.h only. Copies are nearest-neighbour (COLORONCOLOR), clipped to
// both sides; nothing here can read or write outside a bitmap or surface.
#include "platform/gl/memory_gdi.h"

#include <cstring>

namespace nb {

// Uniform pixel access to whatever a context draws into.
class MemoryGdi::View {
 public:
  int32_t width = 0;
  int32_t height = 0;
  Dib* dib = nullptr;
  SurfacePixels* surface = nullptr;

  uint32_t Get(int32_t x, int32_t y) const {
    if (surface) return surface->GetRgb(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    if (!dib) return 0;
    const uint8_t* p = dib->bits.data() +
                       static_cast<size_t>(dib->height - 1 - y) * dib->rowBytes + x * 3;
    return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
  }
  void Set(int32_t x, int32_t y, uint32_t rgb) {
    if (surface) {
      surface->SetRgb(static_cast<uint32_t>(x), static_cast<uint32_t>(y), rgb);
      return;
    }
    if (!dib) return;
    uint8_t* p = dib->bits.data() + static_cast<size_t>(dib->height - 1 - y) * dib->rowBytes +
                 x * 3;
    p[0] = static_cast<uint8_t>(rgb);
    p[1] = static_cast<uint8_t>(rgb >> 8);
    p[2] = static_cast<uint8_t>(rgb >> 16);
  }
};

Bitmap MemoryGdi::CreateDib(uint32_t width, uint32_t height, const uint8_t* rgb) {
  if (width == 0 || height == 0 || width > 16384 || height > 16384 || !rgb) return NoBitmap;
  Dib dib;
  dib.width = static_cast<int32_t>(width);
  dib.height = static_cast<int32_t>(height);
  dib.rowBytes = static_cast<int32_t>((width * 3 + 3) / 4 * 4);
  dib.bits.assign(static_cast<size_t>(dib.rowBytes) * height, 0);
  View view;
  view.dib = &dib;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = rgb + (static_cast<size_t>(y) * width + x) * 3;
      view.Set(static_cast<int32_t>(x), static_cast<int32_t>(y),
               static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2]);
    }
  }
  const uintptr_t handle = NewHandle();
  bitmaps_.emplace(handle, std::move(dib));
  return Bitmap{handle};
}

uint32_t MemoryGdi::BitmapPixel(Bitmap bitmap, uint32_t x, uint32_t y) const {
  auto it = bitmaps_.find(static_cast<uintptr_t>(bitmap));
  if (it == bitmaps_.end()) return 0;
  const Dib& dib = it->second;
  if (x >= static_cast<uint32_t>(dib.width) || y >= static_cast<uint32_t>(dib.height)) return 0;
  View view;
  view.dib = const_cast<Dib*>(&dib);
  return view.Get(static_cast<int32_t>(x), static_cast<int32_t>(y));
}

Dc MemoryGdi::GetDC(Window) { return NoDc; }

int32_t MemoryGdi::ReleaseDC(Window, Dc) { return 0; }

Dc MemoryGdi::CreateCompatibleDC(Dc dc) {
  if (!IsNone(dc) && dcs_.find(static_cast<uintptr_t>(dc)) == dcs_.end()) return NoDc;
  const uintptr_t handle = NewHandle();
  dcs_.emplace(handle, DcEntry{});
  return Dc{handle};
}

bool MemoryGdi::DeleteDC(Dc dc) {
  auto it = dcs_.find(static_cast<uintptr_t>(dc));
  if (it == dcs_.end() || !it->second.memory) return false;
  auto bitmap = bitmaps_.find(static_cast<uintptr_t>(it->second.selected));
  if (bitmap != bitmaps_.end()) bitmap->second.selectedInto = NoDc;
  dcs_.erase(it);
  return true;
}

Bitmap MemoryGdi::SelectObject(Dc dc, Bitmap bitmap) {
  auto it = dcs_.find(static_cast<uintptr_t>(dc));
  if (it == dcs_.end() || !it->second.memory) return NoBitmap;
  DcEntry& entry = it->second;
  Dib* incoming = nullptr;
  if (bitmap != stockBitmap) {
    auto b = bitmaps_.find(static_cast<uintptr_t>(bitmap));
    if (b == bitmaps_.end()) return NoBitmap;
    incoming = &b->second;
    if (!IsNone(incoming->selectedInto) && incoming->selectedInto != dc) return NoBitmap;
  }
  const Bitmap previous = entry.selected;
  auto old = bitmaps_.find(static_cast<uintptr_t>(previous));
  if (old != bitmaps_.end()) old->second.selectedInto = NoDc;
  if (incoming) incoming->selectedInto = dc;
  entry.selected = bitmap;
  return previous;
}

int32_t MemoryGdi::SetStretchBltMode(Dc dc, int32_t mode) {
  auto it = dcs_.find(static_cast<uintptr_t>(dc));
  if (it == dcs_.end() || mode <= 0) return 0;
  const int32_t previous = it->second.stretchMode;
  it->second.stretchMode = mode;
  return previous;
}

bool MemoryGdi::ViewOf(Dc dc, View* view) {
  auto it = dcs_.find(static_cast<uintptr_t>(dc));
  if (it == dcs_.end()) return false;
  *view = View{};
  if (it->second.surface) {
    view->surface = it->second.surface;
    view->width = static_cast<int32_t>(view->surface->Width());
    view->height = static_cast<int32_t>(view->surface->Height());
    return true;
  }
  auto b = bitmaps_.find(static_cast<uintptr_t>(it->second.selected));
  if (b == bitmaps_.end()) {
    view->width = 1;  // the stock bitmap: one black pixel
    view->height = 1;
    return true;
  }
  view->dib = &b->second;
  view->width = b->second.width;
  view->height = b->second.height;
  return true;
}

bool MemoryGdi::BitBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src,
                       int32_t srcX, int32_t srcY, uint32_t rop) {
  return StretchBlt(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

bool MemoryGdi::StretchBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src,
                           int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                           uint32_t rop) {
  if (rop != SRCCOPY || width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) {
    return false;
  }
  View to;
  View from;
  if (!ViewOf(dst, &to) || !ViewOf(src, &from)) return false;
  // Read everything first so that a copy within one bitmap sees the original pixels.
  std::vector<uint32_t> block(static_cast<size_t>(width) * height, 0);
  for (int32_t j = 0; j < height; ++j) {
    const int64_t sy = srcY + (static_cast<int64_t>(2 * j + 1) * srcHeight) / (2 * height);
    for (int32_t i = 0; i < width; ++i) {
      const int64_t sx = srcX + (static_cast<int64_t>(2 * i + 1) * srcWidth) / (2 * width);
      if (sx < 0 || sy < 0 || sx >= from.width || sy >= from.height) continue;
      block[static_cast<size_t>(j) * width + i] =
          from.Get(static_cast<int32_t>(sx), static_cast<int32_t>(sy)) | 0x1000000u;
    }
  }
  for (int32_t j = 0; j < height; ++j) {
    const int64_t ty = static_cast<int64_t>(y) + j;
    if (ty < 0 || ty >= to.height) continue;
    for (int32_t i = 0; i < width; ++i) {
      const int64_t tx = static_cast<int64_t>(x) + i;
      const uint32_t value = block[static_cast<size_t>(j) * width + i];
      // Pixels from outside the source are left alone, as GDI clips to the source.
      if (tx < 0 || tx >= to.width || (value & 0x1000000u) == 0) continue;
      to.Set(static_cast<int32_t>(tx), static_cast<int32_t>(ty), value & 0xFFFFFFu);
    }
  }
  return true;
}

int32_t MemoryGdi::GetObjectA(Bitmap bitmap, BITMAP* out) {
  if (!out) return 0;
  auto it = bitmaps_.find(static_cast<uintptr_t>(bitmap));
  if (it == bitmaps_.end()) return 0;
  Dib& dib = it->second;
  out->bmType = 0;
  out->bmWidth = dib.width;
  out->bmHeight = dib.height;
  out->bmWidthBytes = dib.rowBytes;
  out->bmPlanes = 1;
  out->bmBitsPixel = 24;
  out->bmBits = dib.bits.data();
  return static_cast<int32_t>(sizeof(BITMAP));
}

uint32_t MemoryGdi::GetDIBColorTable(Dc, uint32_t, uint32_t, RGBQUAD*) {
  return 0;  // only 24-bit bitmaps here: no colour tables
}

bool MemoryGdi::DeleteObject(Bitmap bitmap) {
  auto it = bitmaps_.find(static_cast<uintptr_t>(bitmap));
  if (it == bitmaps_.end() || !IsNone(it->second.selectedInto)) return false;
  bitmaps_.erase(it);
  return true;
}

Dc MemoryGdi::OpenSurfaceDc(SurfacePixels* pixels) {
  if (!pixels) return NoDc;
  const uintptr_t handle = NewHandle();
  DcEntry entry;
  entry.memory = false;
  entry.selected = NoBitmap;
  entry.surface = pixels;
  dcs_.emplace(handle, entry);
  return Dc{handle};
}

bool MemoryGdi::CloseSurfaceDc(Dc dc) {
  auto it = dcs_.find(static_cast<uintptr_t>(dc));
  if (it == dcs_.end() || it->second.memory) return false;
  dcs_.erase(it);
  return true;
}

}  // namespace nb
