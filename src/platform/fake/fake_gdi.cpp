// Fake GDI: handle tables for bitmaps and device contexts, real pixel copies.
#include "platform/fake/fake_gdi.h"

#include <cstring>

#include "platform/fake/fake_window.h"

namespace nb::fake {

namespace {
template <class Handle>
int64_t H(Handle handle) {
  return static_cast<int64_t>(static_cast<uintptr_t>(handle));
}
}  // namespace

Bitmap FakeGdi::AddBitmap(FakeBitmapData data) {
  const Bitmap handle{world_.NewHandle()};
  bitmaps_[static_cast<uintptr_t>(handle)] = BitmapEntry{std::move(data), Dc{}};
  return handle;
}

FakeBitmapData* FakeGdi::FindBitmap(Bitmap bitmap) {
  auto it = bitmaps_.find(static_cast<uintptr_t>(bitmap));
  return it == bitmaps_.end() ? nullptr : &it->second.data;
}

Dc FakeGdi::AddTargetDc(PixelTarget* target) {
  const Dc dc{world_.NewHandle()};
  dcs_[static_cast<uintptr_t>(dc)] = DcEntry{DcKind::Target, Window{}, target, Bitmap{}, BLACKONWHITE};
  return dc;
}

void FakeGdi::RemoveTargetDc(Dc dc) { dcs_.erase(static_cast<uintptr_t>(dc)); }

int32_t FakeGdi::StretchMode(Dc dc) const {
  auto it = dcs_.find(static_cast<uintptr_t>(dc));
  return it == dcs_.end() ? 0 : it->second.stretchMode;
}

FakeGdi::DcEntry* FakeGdi::FindDc(Dc dc) {
  auto it = dcs_.find(static_cast<uintptr_t>(dc));
  return it == dcs_.end() ? nullptr : &it->second;
}

Dc FakeGdi::GetDC(Window window) {
  world_.Record("Gdi::GetDC", {H(window)});
  if (world_.Refuses("Gdi::GetDC")) return NoDc;
  if (!windows_ || !windows_->Canvas(window)) return NoDc;
  const Dc dc{world_.NewHandle()};
  dcs_[static_cast<uintptr_t>(dc)] = DcEntry{DcKind::Window, window, nullptr, Bitmap{}, BLACKONWHITE};
  return dc;
}

int32_t FakeGdi::ReleaseDC(Window window, Dc dc) {
  world_.Record("Gdi::ReleaseDC", {H(window), H(dc)});
  if (world_.Refuses("Gdi::ReleaseDC")) return 0;
  DcEntry* entry = FindDc(dc);
  if (!entry || entry->kind != DcKind::Window || entry->window != window) return 0;
  dcs_.erase(static_cast<uintptr_t>(dc));
  return 1;
}

Dc FakeGdi::CreateCompatibleDC(Dc dc) {
  world_.Record("Gdi::CreateCompatibleDC", {H(dc)});
  if (world_.Refuses("Gdi::CreateCompatibleDC")) return NoDc;
  if (!IsNone(dc) && !FindDc(dc)) return NoDc;
  const Dc created{world_.NewHandle()};
  dcs_[static_cast<uintptr_t>(created)] = DcEntry{DcKind::Memory, Window{}, nullptr, stockBitmap, BLACKONWHITE};
  return created;
}

bool FakeGdi::DeleteDC(Dc dc) {
  world_.Record("Gdi::DeleteDC", {H(dc)});
  if (world_.Refuses("Gdi::DeleteDC")) return false;
  DcEntry* entry = FindDc(dc);
  if (!entry || entry->kind != DcKind::Memory) return false;
  if (auto it = bitmaps_.find(static_cast<uintptr_t>(entry->selected)); it != bitmaps_.end()) {
    it->second.selectedInto = Dc{};
  }
  dcs_.erase(static_cast<uintptr_t>(dc));
  return true;
}

Bitmap FakeGdi::SelectObject(Dc dc, Bitmap bitmap) {
  world_.Record("Gdi::SelectObject", {H(dc), H(bitmap)});
  if (world_.Refuses("Gdi::SelectObject")) return NoBitmap;
  DcEntry* entry = FindDc(dc);
  if (!entry || entry->kind != DcKind::Memory) return NoBitmap;
  BitmapEntry* incoming = nullptr;
  if (bitmap != stockBitmap) {
    auto it = bitmaps_.find(static_cast<uintptr_t>(bitmap));
    if (it == bitmaps_.end()) return NoBitmap;
    incoming = &it->second;
    // A bitmap can be selected into one memory context at a time.
    if (!IsNone(incoming->selectedInto) && incoming->selectedInto != dc) return NoBitmap;
  }
  const Bitmap previous = entry->selected;
  if (auto it = bitmaps_.find(static_cast<uintptr_t>(previous)); it != bitmaps_.end()) {
    it->second.selectedInto = Dc{};
  }
  entry->selected = bitmap;
  if (incoming) incoming->selectedInto = dc;
  return previous;
}

int32_t FakeGdi::SetStretchBltMode(Dc dc, int32_t mode) {
  world_.Record("Gdi::SetStretchBltMode", {H(dc), mode});
  if (world_.Refuses("Gdi::SetStretchBltMode")) return 0;
  DcEntry* entry = FindDc(dc);
  if (!entry || mode < 1 || mode > 4) return 0;
  const int32_t previous = entry->stretchMode;
  entry->stretchMode = mode;
  return previous;
}

PixelTarget* FakeGdi::TargetOf(DcEntry& entry, BitmapPixels& scratch, FakeBitmapData& stock) {
  switch (entry.kind) {
    case DcKind::Window: return windows_ ? windows_->Canvas(entry.window) : nullptr;
    case DcKind::Target: return entry.target;
    case DcKind::Memory: {
      if (entry.selected == stockBitmap) {
        stock = FakeBitmapData::Solid(1, 1, {0, 0, 0});
        scratch = BitmapPixels(&stock);
        return &scratch;
      }
      FakeBitmapData* data = FindBitmap(entry.selected);
      if (!data) return nullptr;
      scratch = BitmapPixels(data);
      return &scratch;
    }
  }
  return nullptr;
}

bool FakeGdi::Blit(const char* name, Dc dst, RECT dstRect, Dc src, RECT srcRect, uint32_t rop) {
  if (world_.Refuses(name)) return false;
  DcEntry* to = FindDc(dst);
  DcEntry* from = FindDc(src);
  if (!to || !from || rop != SRCCOPY) return false;
  FakeBitmapData stockTo, stockFrom;
  BitmapPixels scratchTo(&stockTo), scratchFrom(&stockFrom);
  PixelTarget* target = TargetOf(*to, scratchTo, stockTo);
  PixelTarget* source = TargetOf(*from, scratchFrom, stockFrom);
  if (!target || !source) return false;
  CopyPixels(*target, dstRect, *source, srcRect);
  return true;
}

bool FakeGdi::BitBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src,
                     int32_t srcX, int32_t srcY, uint32_t rop) {
  world_.Record("Gdi::BitBlt", {H(dst), x, y, width, height, H(src), srcX, srcY, rop});
  return Blit("Gdi::BitBlt", dst, RECT{x, y, x + width, y + height}, src,
              RECT{srcX, srcY, srcX + width, srcY + height}, rop);
}

bool FakeGdi::StretchBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src,
                         int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                         uint32_t rop) {
  world_.Record("Gdi::StretchBlt",
                {H(dst), x, y, width, height, H(src), srcX, srcY, srcWidth, srcHeight, rop});
  return Blit("Gdi::StretchBlt", dst, RECT{x, y, x + width, y + height}, src,
              RECT{srcX, srcY, srcX + srcWidth, srcY + srcHeight}, rop);
}

int32_t FakeGdi::GetObjectA(Bitmap bitmap, BITMAP* out) {
  world_.Record("Gdi::GetObjectA", {H(bitmap)});
  if (world_.Refuses("Gdi::GetObjectA")) return 0;
  FakeBitmapData* data = FindBitmap(bitmap);
  if (!data || !out) return 0;
  std::memset(out, 0, sizeof *out);
  out->bmWidth = data->width;
  out->bmHeight = data->height;
  out->bmWidthBytes = data->RowBytes();
  out->bmPlanes = 1;
  out->bmBitsPixel = data->bitsPerPixel;
  out->bmBits = data->deviceIndependent ? data->bits.data() : nullptr;
  return static_cast<int32_t>(sizeof(BITMAP));
}

uint32_t FakeGdi::GetDIBColorTable(Dc dc, uint32_t start, uint32_t count, RGBQUAD* out) {
  world_.Record("Gdi::GetDIBColorTable", {H(dc), start, count});
  if (world_.Refuses("Gdi::GetDIBColorTable")) return 0;
  DcEntry* entry = FindDc(dc);
  if (!entry || entry->kind != DcKind::Memory || !out) return 0;
  FakeBitmapData* data = FindBitmap(entry->selected);
  if (!data || start >= data->colours.size()) return 0;
  uint32_t copied = 0;
  for (size_t i = start; i < data->colours.size() && copied < count; ++i) out[copied++] = data->colours[i];
  return copied;
}

bool FakeGdi::DeleteObject(Bitmap bitmap) {
  world_.Record("Gdi::DeleteObject", {H(bitmap)});
  if (world_.Refuses("Gdi::DeleteObject")) return false;
  auto it = bitmaps_.find(static_cast<uintptr_t>(bitmap));
  // The platform refuses to delete a bitmap still selected into a context.
  if (it == bitmaps_.end() || !IsNone(it->second.selectedInto)) return false;
  bitmaps_.erase(it);
  return true;
}

}  // namespace nb::fake
