// Window contexts over SDL framebuffers. Depends on sdl_gdi.h.
#include "platform/sdl/sdl_gdi.h"

namespace nb {

// A window's framebuffer as surface pixels; SDL's surface may be any format.
class SdlGdi::WindowPixels final : public SurfacePixels {
 public:
  explicit WindowPixels(SDL_Surface* surface) : surface_(surface) {}
  uint32_t Width() const override { return static_cast<uint32_t>(surface_->w); }
  uint32_t Height() const override { return static_cast<uint32_t>(surface_->h); }
  uint32_t GetRgb(uint32_t x, uint32_t y) const override {
    if (x >= Width() || y >= Height()) return 0;
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(Raw(x, y), surface_->format, &r, &g, &b);
    return uint32_t{r} << 16 | uint32_t{g} << 8 | b;
  }
  void SetRgb(uint32_t x, uint32_t y, uint32_t rgb) override {
    if (x >= Width() || y >= Height()) return;
    const Uint32 value = SDL_MapRGB(surface_->format, static_cast<Uint8>(rgb >> 16),
                                    static_cast<Uint8>(rgb >> 8), static_cast<Uint8>(rgb));
    uint8_t* p = Address(x, y);
    switch (surface_->format->BytesPerPixel) {
      case 4:
        *reinterpret_cast<Uint32*>(p) = value;
        break;
      case 2:
        *reinterpret_cast<Uint16*>(p) = static_cast<Uint16>(value);
        break;
      case 1:
        *p = static_cast<Uint8>(value);
        break;
      default:
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        p[2] = static_cast<uint8_t>(value >> 16);
        break;
    }
  }

 private:
  uint8_t* Address(uint32_t x, uint32_t y) const {
    return static_cast<uint8_t*>(surface_->pixels) + static_cast<size_t>(y) * surface_->pitch +
           static_cast<size_t>(x) * surface_->format->BytesPerPixel;
  }
  Uint32 Raw(uint32_t x, uint32_t y) const {
    const uint8_t* p = Address(x, y);
    switch (surface_->format->BytesPerPixel) {
      case 4:
        return *reinterpret_cast<const Uint32*>(p);
      case 2:
        return *reinterpret_cast<const Uint16*>(p);
      case 1:
        return *p;
      default:
        return Uint32{p[0]} | Uint32{p[1]} << 8 | Uint32{p[2]} << 16;
    }
  }
  SDL_Surface* surface_;
};

SdlGdi::~SdlGdi() {
  for (auto& [handle, entry] : windowDcs_) memory_.CloseSurfaceDc(Dc{handle});
}

Dc SdlGdi::GetDC(Window window) {
  SDL_Surface* surface = windows_.Framebuffer(window);
  if (!surface || SDL_MUSTLOCK(surface)) return NoDc;
  auto pixels = std::make_shared<WindowPixels>(surface);
  const Dc dc = memory_.OpenSurfaceDc(pixels.get());
  if (IsNone(dc)) return NoDc;
  windowDcs_[static_cast<uintptr_t>(dc)] = WindowDc{window, std::move(pixels)};
  return dc;
}

int32_t SdlGdi::ReleaseDC(Window window, Dc dc) {
  auto it = windowDcs_.find(static_cast<uintptr_t>(dc));
  if (it == windowDcs_.end() || it->second.window != window) return 0;
  memory_.CloseSurfaceDc(dc);
  windowDcs_.erase(it);
  windows_.UpdateFramebuffer(window);
  return 1;
}

}  // namespace nb
