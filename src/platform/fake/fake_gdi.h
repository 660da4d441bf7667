// Fake GDI: bitmaps with real pixels, memory / window / surface device contexts, and
// BitBlt / StretchBlt that really copy (nearest-neighbour stretching, format conversion).
// Window contexts draw into the fake windows' canvases, surface contexts into fake
// DirectDraw surfaces. Depends on fake_world.h, fake_pixels.h. Test support only.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/fake/fake_pixels.h"
#include "platform/fake/fake_world.h"
#include "platform/gdi.h"

namespace nb::fake {

class FakeWindowSystem;

class FakeGdi final : public Gdi {
 public:
  explicit FakeGdi(FakeWorld& world) : world_(world) {}
  // Objects of the world that report to this port are destroyed with it, whatever order
  // the owner declared the world and the ports in.
  ~FakeGdi() { world_.DestroyAll(); }
  FakeGdi(const FakeGdi&) = delete;
  FakeGdi& operator=(const FakeGdi&) = delete;
  void Connect(FakeWindowSystem* windows) { windows_ = windows; }

  // ---- Test and fake-side helpers
  // Makes a bitmap (as LoadImageA / LoadBitmapA do); the caller owns it until
  // DeleteObject.
  Bitmap AddBitmap(FakeBitmapData data);
  FakeBitmapData* FindBitmap(Bitmap bitmap);
  size_t BitmapCount() const { return bitmaps_.size(); }
  // A device context drawing into target (a surface's GetDC). Not owned.
  Dc AddTargetDc(PixelTarget* target);
  void RemoveTargetDc(Dc dc);
  // Contexts currently open (window, memory and surface contexts).
  size_t OpenDcCount() const { return dcs_.size(); }
  int32_t StretchMode(Dc dc) const;

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

  // The 1x1 bitmap every new memory context starts with.
  static constexpr Bitmap stockBitmap{0x10};

 private:
  enum class DcKind { Window, Memory, Target };
  struct DcEntry {
    DcKind kind;
    Window window{};
    PixelTarget* target = nullptr;
    Bitmap selected{};
    int32_t stretchMode = BLACKONWHITE;
  };
  struct BitmapEntry {
    FakeBitmapData data;
    Dc selectedInto{};
  };
  DcEntry* FindDc(Dc dc);
  PixelTarget* TargetOf(DcEntry& entry, BitmapPixels& scratch, FakeBitmapData& stock);
  bool Blit(const char* name, Dc dst, RECT dstRect, Dc src, RECT srcRect, uint32_t rop);

  FakeWorld& world_;
  FakeWindowSystem* windows_ = nullptr;
  std::map<uintptr_t, DcEntry> dcs_;
  std::map<uintptr_t, BitmapEntry> bitmaps_;
};

}  // namespace nb::fake
