// Surfaces of the OpenGL driver: flip chains and render targets in GL textures with
// framebuffers, driver-managed textures whose pixels live on the CPU until drawn with,
// system-memory staging surfaces; Lock, GetDC, Blt and Flip over them.
// Depends on gl_objects.h and OpenGL 3.3 core. Every read or write of pixels first ends
// the driver's pending draws, so that what is read is what was drawn.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/gl/gl_objects.h"
#include "platform/gl/gl_program.h"

namespace nb {
namespace {

bool ValidRect(const RECT& r, uint32_t width, uint32_t height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         static_cast<uint32_t>(r.right) <= width && static_cast<uint32_t>(r.bottom) <= height;
}

RECT Whole(uint32_t width, uint32_t height) {
  return {0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
  return a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask &&
         a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask;
}

}  // namespace

GlSurface::GlSurface(GlDraw* draw, GlSurfaceKind kind, uint32_t width, uint32_t height,
                     const DDPIXELFORMAT& format, uint32_t caps, uint32_t stage)
    : draw_(Ref<GlDraw>::Retain(draw)),
      owner_(draw),
      kind_(kind),
      width_(width),
      height_(height),
      format_(format),
      caps_(caps),
      stage_(stage) {
  owner_->AddSurface(this);
  if (kind_ == GlSurfaceKind::Texture || kind_ == GlSurfaceKind::System) {
    store_ = GlPixelStore(width_, height_, format_);
  }
}

GlSurface::~GlSurface() = default;

bool GlSurface::InitGl() {
  if (kind_ == GlSurfaceKind::System) return store_.size() > 0;
  if (!GlLayoutFor(format_, &layout_) || !owner_->MakeCurrent()) return false;
  ClearGlErrors();
  glGenTextures(1, &texture_);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  if (kind_ == GlSurfaceKind::Texture) {
    // Sampled as 8-bit RGBA, which software rasterizers filter fastest; the pixels
    // uploaded are the 16-bit ones widened, so the texture still shows 16-bit steps.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width_),
                 static_cast<GLsizei>(height_), 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    return glGetError() == GL_NO_ERROR;
  }
  if (layout_.alphaIsOne) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(layout_.internalFormat),
               static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), 0, layout_.format,
               layout_.type, nullptr);
  if (glGetError() != GL_NO_ERROR) return false;
  if (onGpu()) {
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    // A new surface reads black, as fresh video memory usually does.
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  return true;
}

GlPixelStore GlSurface::DropGl(bool live) {
  GlPixelStore pixels;
  if (live) {
    if (onGpu()) ReadPixels(&pixels);
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &texture_);
  }
  framebuffer_ = 0;
  texture_ = 0;
  dirty_ = true;
  return pixels;
}

bool GlSurface::RemakeGl(const GlPixelStore& pixels) {
  if (kind_ == GlSurfaceKind::System) return true;
  if (!InitGl()) return false;
  if (onGpu() && pixels.size() > 0) WritePixels(pixels);
  return true;
}

void GlSurface::AttachBack(GlSurface* back) {
  back_ = Ref<GlSurface>::Adopt(back);
  back->front_ = this;
}

void GlSurface::FinalRelease() {
  if (orphan_) {
    owner_->RemoveOrphan(this);
    delete this;
    return;
  }
  DropHoldings();
  delete this;
}

// The platform frees a flip chain's back buffer with its front, even while someone still
// holds the back buffer (GetAttachedSurface references are commonly never given back): it
// then stays as an empty shell that fails every call, freed at its last Release or with
// its driver.
void GlSurface::DropHoldings() {
  if (!draw_) return;
  if (back_) {
    GlSurface* back = back_.Get();
    back->front_ = nullptr;
    if (back->references() > 1) {
      back->DropHoldings();
      back->orphan_ = true;
      owner_->AddOrphan(back);
    }
    back_.Reset();
  }
  if ((texture_ || framebuffer_) && owner_->MakeCurrent()) {
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &texture_);
  }
  texture_ = 0;
  framebuffer_ = 0;
  owner_->RemoveSurface(this);
  draw_.Reset();
}

int32_t GlSurface::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirectDrawSurface4) {
    *out = static_cast<DrawSurface*>(this);
  } else if (iid == IID_IDirect3DTexture2 && (caps_ & DDSCAPS_TEXTURE)) {
    *out = static_cast<Texture3D*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

int32_t GlSurface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
  if (!desc) return DDERR_INVALIDPARAMS;
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(DDSURFACEDESC2);
  desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT |
                  DDSD_TEXTURESTAGE;
  desc->dwWidth = width_;
  desc->dwHeight = height_;
  desc->lPitch = static_cast<int32_t>(width_ * GlBytesPerPixel(format_));
  desc->ddpfPixelFormat = format_;
  desc->ddsCaps.dwCaps = caps_;
  if (kind_ == GlSurfaceKind::Texture) desc->ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
  desc->dwTextureStage = stage_;
  if (back_) {
    desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc->dwBackBufferCount = 1;
  }
  return DD_OK;
}

int32_t GlSurface::GetAttachedSurface(const DDSCAPS2& caps, DrawSurface** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (dead()) return DDERR_SURFACELOST;
  if (!back_ || (caps.dwCaps & DDSCAPS_BACKBUFFER) == 0) return DDERR_NOTFOUND;
  back_->AddRef();
  *out = static_cast<DrawSurface*>(back_.Get());
  return DD_OK;
}

int32_t GlSurface::Flip(DrawSurface* target, uint32_t) {
  if (dead()) return DDERR_SURFACELOST;
  if (kind_ != GlSurfaceKind::Primary || !back_) return DDERR_INVALIDOBJECT;
  if (target && target != static_cast<DrawSurface*>(back_.Get())) return DDERR_INVALIDPARAMS;
  if (lost_ || back_->lost_ || owner_->displayLost()) return DDERR_SURFACELOST;
  if (locked_ || back_->locked_ || dcOpen_ || back_->dcOpen_) return DDERR_SURFACEBUSY;
  owner_->FlushAll();
  // Exchanging the two buffers' memory is what a flip is: the device keeps drawing into
  // whatever is the back buffer now.
  std::swap(texture_, back_->texture_);
  std::swap(framebuffer_, back_->framebuffer_);
  if (owner_->MakeCurrent()) owner_->context().Present(texture_, width_, height_);
  return DD_OK;
}

int32_t GlSurface::IsLost() {
  return dead() || lost_ ? DDERR_SURFACELOST : DD_OK;
}

int32_t GlSurface::Restore() {
  if (dead()) return DDERR_SURFACELOST;
  if (!lost_) return DD_OK;
  if (owner_->displayLost()) return DDERR_WRONGMODE;
  if (kind_ == GlSurfaceKind::Primary || kind_ == GlSurfaceKind::BackBuffer) {
    const GlDisplayMode& mode = owner_->mode();
    if (mode.width != width_ || mode.height != height_ ||
        mode.bitsPerPixel != format_.dwRGBBitCount) {
      return DDERR_WRONGMODE;
    }
  }
  lost_ = false;
  return DD_OK;
}

int32_t GlSurface::GetDC(Dc* out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = NoDc;
  if (dead() || lost_) return DDERR_SURFACELOST;
  if (dcOpen_) return DDERR_DCALREADYCREATED;
  if (locked_) return DDERR_SURFACEBUSY;
  SurfaceDcBridge* bridge = owner_->dcBridge();
  if (!bridge) return DDERR_CANTCREATEDC;
  owner_->FlushAll();
  if (onGpu()) ReadPixels(&store_);
  const Dc dc = bridge->OpenSurfaceDc(&dcPixels_);
  if (IsNone(dc)) {
    if (onGpu()) store_ = GlPixelStore();
    return DDERR_CANTCREATEDC;
  }
  dc_ = dc;
  dcOpen_ = true;
  *out = dc;
  return DD_OK;
}

int32_t GlSurface::ReleaseDC(Dc dc) {
  if (!dcOpen_ || dc != dc_) return DDERR_NODC;
  if (SurfaceDcBridge* bridge = owner_->dcBridge()) bridge->CloseSurfaceDc(dc);
  dcOpen_ = false;
  dc_ = NoDc;
  if (onGpu()) {
    if (!dead()) WritePixels(store_);
    store_ = GlPixelStore();
  } else {
    dirty_ = true;
  }
  return DD_OK;
}

void GlSurface::ReadPixels(GlPixelStore* store) {
  if (!onGpu()) {
    *store = store_;
    return;
  }
  *store = GlPixelStore(width_, height_, format_);
  if (!framebuffer_ || !owner_->MakeCurrent()) return;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_),
               layout_.format, layout_.type, store->data());
}

void GlSurface::WritePixels(const GlPixelStore& store) {
  if (!onGpu()) {
    if (&store != &store_) store_ = store;
    dirty_ = true;
    return;
  }
  if (!texture_ || !owner_->MakeCurrent()) return;
  glBindTexture(GL_TEXTURE_2D, texture_);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width_),
                  static_cast<GLsizei>(height_), layout_.format, layout_.type, store.data());
}

uint32_t GlSurface::BindableTexture() {
  if (dead()) return 0;
  if (kind_ == GlSurfaceKind::Texture && dirty_ && owner_->MakeCurrent()) {
    std::vector<uint32_t> argb(static_cast<size_t>(width_) * height_);
    for (uint32_t y = 0; y < height_; ++y) {
      for (uint32_t x = 0; x < width_; ++x) {
        argb[static_cast<size_t>(y) * width_ + x] = GlUnpackArgb(format_, store_.Raw(x, y));
      }
    }
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width_),
                    static_cast<GLsizei>(height_), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                    argb.data());
    dirty_ = false;
  }
  return kind_ == GlSurfaceKind::System ? 0 : texture_;
}

int32_t GlSurface::Blt(const RECT* dstRect, DrawSurface* src, const RECT* srcRect, uint32_t) {
  auto* source = dynamic_cast<GlSurface*>(src);
  if (!source || source->owner_ != owner_) return DDERR_INVALIDPARAMS;
  if (dead() || source->dead() || lost_ || source->lost_) return DDERR_SURFACELOST;
  if (locked_ || source->locked_ || dcOpen_ || source->dcOpen_) return DDERR_SURFACEBUSY;
  const RECT d = dstRect ? *dstRect : Whole(width_, height_);
  const RECT s = srcRect ? *srcRect : Whole(source->width_, source->height_);
  if (!ValidRect(d, width_, height_) || !ValidRect(s, source->width_, source->height_)) {
    return DDERR_INVALIDPARAMS;
  }
  owner_->FlushAll();
  GlPixelStore from;
  source->ReadPixels(&from);
  GlPixelStore gpuTarget;
  GlPixelStore* to = &store_;
  if (onGpu()) {
    ReadPixels(&gpuTarget);
    to = &gpuTarget;
  }
  const int64_t dw = d.right - d.left;
  const int64_t dh = d.bottom - d.top;
  const int64_t sw = s.right - s.left;
  const int64_t sh = s.bottom - s.top;
  const bool raw = SameFormat(format_, source->format_);
  for (int64_t y = 0; y < dh; ++y) {
    // Nearest source pixel to the centre of each destination pixel.
    const auto sy = static_cast<uint32_t>(s.top + ((2 * y + 1) * sh) / (2 * dh));
    for (int64_t x = 0; x < dw; ++x) {
      const auto sx = static_cast<uint32_t>(s.left + ((2 * x + 1) * sw) / (2 * dw));
      const auto tx = static_cast<uint32_t>(d.left + x);
      const auto ty = static_cast<uint32_t>(d.top + y);
      if (raw) {
        to->SetRaw(tx, ty, from.Raw(sx, sy));
      } else {
        to->SetRgb(tx, ty, from.GetRgb(sx, sy));
      }
    }
  }
  if (onGpu()) {
    WritePixels(gpuTarget);
  } else {
    dirty_ = true;
  }
  return DD_OK;
}

int32_t GlSurface::Lock(const RECT* rect, DDSURFACEDESC2* desc, uint32_t flags) {
  if (!desc) return DDERR_INVALIDPARAMS;
  if (dead() || lost_) return DDERR_SURFACELOST;
  if (locked_ || dcOpen_) return DDERR_SURFACEBUSY;
  const RECT r = rect ? *rect : Whole(width_, height_);
  if (!ValidRect(r, width_, height_)) return DDERR_INVALIDPARAMS;
  owner_->FlushAll();
  if (onGpu()) ReadPixels(&store_);
  GetSurfaceDesc(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lPitch = static_cast<int32_t>(store_.pitch());
  desc->lpSurface = store_.data() + static_cast<size_t>(r.top) * store_.pitch() +
                    static_cast<size_t>(r.left) * store_.bytesPerPixel();
  locked_ = true;
  lockWrites_ = (flags & DDLOCK_READONLY) == 0;
  return DD_OK;
}

int32_t GlSurface::Unlock(const RECT*) {
  if (!locked_) return DDERR_NOTLOCKED;
  locked_ = false;
  if (onGpu()) {
    if (lockWrites_ && !dead()) WritePixels(store_);
    store_ = GlPixelStore();
  } else if (lockWrites_) {
    dirty_ = true;
  }
  return DD_OK;
}

int32_t GlSurface::GetDDInterface(DirectDraw** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (dead()) return DDERR_SURFACELOST;
  draw_->AddRef();
  *out = static_cast<DirectDraw*>(draw_.Get());
  return DD_OK;
}

int32_t GlSurface::SetPalette(DrawPalette* palette) {
  if (!palette) return DD_OK;
  // The driver makes no palettized surfaces.
  return DDERR_INVALIDPIXELFORMAT;
}

GlPalette::GlPalette(const PALETTEENTRY* entries) {
  std::memcpy(entries_.data(), entries, sizeof(PALETTEENTRY) * entries_.size());
}

int32_t GlPalette::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IUnknown || iid == IID_IDirectDrawPalette)) return E_NOINTERFACE;
  *out = static_cast<DrawPalette*>(this);
  AddRef();
  return S_OK;
}

int32_t GlPalette::GetEntries(uint32_t start, uint32_t count, PALETTEENTRY* out) {
  if (!out || start > entries_.size() || count > entries_.size() - start) {
    return DDERR_INVALIDPARAMS;
  }
  std::memcpy(out, entries_.data() + start, sizeof(PALETTEENTRY) * count);
  return DD_OK;
}

}  // namespace nb
