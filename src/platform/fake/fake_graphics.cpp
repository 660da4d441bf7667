// Fake DirectDraw / Direct3D objects.
#include "platform/fake/fake_graphics.h"

#include <algorithm>
#include <cstring>

namespace nb::fake {

namespace {

template <class Handle>
int64_t H(Handle handle) {
  return static_cast<int64_t>(static_cast<uintptr_t>(handle));
}
int64_t P(const void* pointer) { return static_cast<int64_t>(reinterpret_cast<uintptr_t>(pointer)); }

constexpr uint32_t kMaxSurfaceSide = 4096;

D3DMATRIX Identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

}  // namespace

// ---- Configuration helpers

DDPIXELFORMAT ModeFormat(uint32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 8: return FormatPal8();
    case 16: return FormatRgb565();
    case 24: return FormatRgb888();
    case 32: return FormatXrgb8888();
    default: {
      DDPIXELFORMAT f{};
      f.dwSize = sizeof f;
      f.dwFlags = DDPF_RGB;
      f.dwRGBBitCount = bitsPerPixel;
      return f;
    }
  }
}

DDSURFACEDESC2 MakeMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t refreshRate) {
  DDSURFACEDESC2 mode{};
  mode.dwSize = sizeof mode;
  mode.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
  mode.dwWidth = width;
  mode.dwHeight = height;
  mode.lPitch = static_cast<int32_t>(width * ((bitsPerPixel + 7) / 8));
  mode.dwRefreshRate = refreshRate;
  mode.ddpfPixelFormat = ModeFormat(bitsPerPixel);
  return mode;
}

D3DDEVICEDESC MakeDeviceDesc(uint32_t colorModel, uint32_t renderBitDepths, uint32_t destBlendCaps,
                             uint32_t textureCaps) {
  D3DDEVICEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_TRICAPS | D3DDD_DEVICERENDERBITDEPTH;
  desc.dcmColorModel = colorModel;
  desc.dpcTriCaps.dwSize = sizeof(D3DPRIMCAPS);
  desc.dpcTriCaps.dwSrcBlendCaps = D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_SRCALPHA;
  desc.dpcTriCaps.dwDestBlendCaps = destBlendCaps;
  desc.dpcTriCaps.dwTextureCaps = textureCaps;
  desc.dpcLineCaps = desc.dpcTriCaps;
  desc.dwDeviceRenderBitDepth = renderBitDepths;
  desc.dwDeviceZBufferBitDepth = DDBD_16;
  desc.dwMaxTextureWidth = desc.dwMaxTextureHeight = 2048;
  desc.wMaxTextureBlendStages = desc.wMaxSimultaneousTextures = 2;
  return desc;
}

namespace {
std::vector<DDPIXELFORMAT> UsualTextureFormats() {
  return {FormatRgb565(), FormatArgb1555(), FormatArgb4444(), FormatArgb8888(), FormatPal8()};
}
D3DDEVICEDESC NoDescription() {
  D3DDEVICEDESC desc{};
  desc.dwSize = sizeof desc;
  return desc;
}
}  // namespace

FakeDeviceConfig SoftwareDevice() {
  FakeDeviceConfig device;
  device.guid = IID_IDirect3DRGBDevice;
  device.description = "Software emulation, RGB colour model";
  device.name = "RGB Emulation";
  device.hardware = NoDescription();
  device.emulation = MakeDeviceDesc(D3DCOLOR_RGB, DDBD_16 | DDBD_24 | DDBD_32,
                                    D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_INVSRCALPHA,
                                    D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2);
  device.depthFormats = {FormatZBuffer(16)};
  device.textureFormats = UsualTextureFormats();
  return device;
}

FakeDeviceConfig HardwareDevice() {
  FakeDeviceConfig device;
  device.guid = IID_IDirect3DHALDevice;
  device.description = "Hardware acceleration through the display driver";
  device.name = "Direct3D HAL";
  device.hardware = MakeDeviceDesc(D3DCOLOR_RGB, DDBD_16 | DDBD_32,
                                   D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_INVSRCALPHA,
                                   D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2);
  device.emulation = NoDescription();
  device.depthFormats = {FormatZBuffer(16), FormatZBufferStencil(32, 8)};
  device.textureFormats = UsualTextureFormats();
  return device;
}

FakeDeviceConfig ReferenceDevice() {
  FakeDeviceConfig device = SoftwareDevice();
  device.guid = IID_IDirect3DRefDevice;
  device.description = "Reference rasterizer, for testing";
  device.name = "Reference Rasterizer";
  return device;
}

FakeDeviceConfig NullDevice() {
  FakeDeviceConfig device = SoftwareDevice();
  device.guid = IID_IDirect3DNullDevice;
  device.description = "Null device";
  device.name = "Null device";
  return device;
}

FakeDriverConfig StandardDriver() {
  FakeDriverConfig driver;
  driver.primary = true;
  driver.description = "Primary Display Driver";
  driver.name = "display";
  driver.caps.dwSize = sizeof(DDCAPS);
  driver.caps.dwVidMemTotal = driver.caps.dwVidMemFree = 16u << 20;
  for (uint32_t bits : {8u, 16u, 32u}) {
    driver.modes.push_back(MakeMode(640, 480, bits));
    driver.modes.push_back(MakeMode(800, 600, bits));
    driver.modes.push_back(MakeMode(1024, 768, bits));
  }
  driver.devices = {SoftwareDevice(), HardwareDevice()};
  return driver;
}

FakeDriverConfig SecondaryDriver(const GUID& guid, const std::string& description, const std::string& name) {
  FakeDriverConfig driver = StandardDriver();
  driver.primary = false;
  driver.guid = guid;
  driver.description = description;
  driver.name = name;
  driver.devices = {HardwareDevice()};
  return driver;
}

// ---- FakeGraphicsSystem

void FakeGraphicsSystem::TakeDisplayAway() {
  displayTaken = true;
  for (FakeSurface* surface : surfaces_) {
    if (surface->videoMemory() && !surface->managed()) surface->lost = true;
  }
}

void FakeGraphicsSystem::GiveDisplayBack() { displayTaken = false; }

bool FakeGraphicsSystem::IsDirectDrawLoaded() {
  world_.Record("GraphicsSystem::IsDirectDrawLoaded");
  return directDrawLoaded && !world_.Refuses("GraphicsSystem::IsDirectDrawLoaded");
}

int32_t FakeGraphicsSystem::DirectDrawEnumerateExA(DDENUMCALLBACKEXA callback, void* context, uint32_t flags) {
  world_.Record("GraphicsSystem::DirectDrawEnumerateExA", {flags});
  if (!callback) return DDERR_INVALIDPARAMS;
  if (const int32_t failure = world_.Check("GraphicsSystem::DirectDrawEnumerateExA"); failure != S_OK) {
    return failure;
  }
  // A copy: the callback may change the configuration without upsetting the walk.
  const std::vector<FakeDriverConfig> snapshot = drivers;
  for (const FakeDriverConfig& driver : snapshot) {
    const GUID* guid = driver.primary ? nullptr : &driver.guid;
    if (callback(guid, driver.description.c_str(), driver.name.c_str(), context) == DDENUMRET_CANCEL) break;
  }
  return DD_OK;
}

int32_t FakeGraphicsSystem::DirectDrawCreate(const GUID* driver, Unknown** out) {
  world_.Record("GraphicsSystem::DirectDrawCreate", {driver ? 1 : 0});
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (const int32_t failure = world_.Check("GraphicsSystem::DirectDrawCreate"); failure != S_OK) return failure;
  const FakeDriverConfig* found = nullptr;
  for (const FakeDriverConfig& config : drivers) {
    // A null or all-zero GUID names the primary display driver.
    const bool wantsPrimary = !driver || *driver == GUID_NULL;
    if (wantsPrimary ? config.primary : (!config.primary && config.guid == *driver)) {
      found = &config;
      break;
    }
  }
  if (!found) return DDERR_INVALIDPARAMS;
  if (found->createFails) return DDERR_NODIRECTDRAWHW;
  auto* directDraw = new FakeDirectDraw(*this, *found);
  *out = static_cast<DirectDraw*>(directDraw);
  return DD_OK;
}

// ---- FakeDirectDraw

FakeDirectDraw::FakeDirectDraw(FakeGraphicsSystem& system, FakeDriverConfig config)
    : FakeObject(system.world(), "DirectDraw"), system_(system), config_(std::move(config)) {
  mode_ = system_.desktopMode;
  system_.directDraws_.push_back(this);
}

FakeDirectDraw::~FakeDirectDraw() { FakeGraphicsSystem::Forget(system_.directDraws_, this); }

const FakeDeviceConfig* FakeDirectDraw::FindDevice(const GUID& guid) const {
  for (const FakeDeviceConfig& device : config_.devices) {
    if (device.guid == guid) return &device;
  }
  return nullptr;
}

int32_t FakeDirectDraw::QueryInterface(const GUID& iid, void** out) {
  world().Record("DirectDraw::QueryInterface", {static_cast<int64_t>(iid.Data1)});
  if (!out) return E_POINTER;
  *out = nullptr;
  if (const int32_t failure = world().Check("DirectDraw::QueryInterface"); failure != S_OK) return failure;
  if (iid == IID_IUnknown || iid == IID_IDirectDraw) return HandOut<DirectDraw>(this, out);
  if (iid == IID_IDirectDraw4) {
    if (!config_.offersDirectDraw4) return E_NOINTERFACE;
    return HandOut<DirectDraw>(this, out);
  }
  if (iid == IID_IDirect3D3) {
    if (!config_.offersDirect3D3) return E_NOINTERFACE;
    *out = static_cast<void*>(static_cast<Direct3D*>(new FakeDirect3D(*this)));
    return S_OK;
  }
  return E_NOINTERFACE;
}

int32_t FakeDirectDraw::GetCaps(DDCAPS* hardware, DDCAPS* emulation) {
  world().Record("DirectDraw::GetCaps", {P(hardware), P(emulation)});
  if (!hardware && !emulation) return DDERR_INVALIDPARAMS;
  if ((hardware && hardware->dwSize != sizeof(DDCAPS)) || (emulation && emulation->dwSize != sizeof(DDCAPS))) {
    return DDERR_INVALIDPARAMS;
  }
  if (const int32_t failure = world().Check("DirectDraw::GetCaps"); failure != S_OK) return failure;
  if (hardware) {
    *hardware = config_.caps;
    hardware->dwSize = sizeof(DDCAPS);
  }
  if (emulation) {
    std::memset(emulation, 0, sizeof *emulation);
    emulation->dwSize = sizeof(DDCAPS);
  }
  return DD_OK;
}

int32_t FakeDirectDraw::EnumDisplayModes(uint32_t flags, const DDSURFACEDESC2* filter, void* context,
                                         DDENUMMODESCALLBACK2 callback) {
  world().Record("DirectDraw::EnumDisplayModes", {flags, P(filter)});
  if (!callback) return DDERR_INVALIDPARAMS;
  if (const int32_t failure = world().Check("DirectDraw::EnumDisplayModes"); failure != S_OK) return failure;
  const std::vector<DDSURFACEDESC2> modes = config_.modes;
  for (const DDSURFACEDESC2& mode : modes) {
    DDSURFACEDESC2 copy = mode;
    if (callback(&copy, context) == DDENUMRET_CANCEL) break;
  }
  return DD_OK;
}

int32_t FakeDirectDraw::SetCooperativeLevel(Window target, uint32_t flags) {
  world().Record("DirectDraw::SetCooperativeLevel", {H(target), flags});
  if (const int32_t failure = world().Check("DirectDraw::SetCooperativeLevel"); failure != S_OK) return failure;
  const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
  const bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
  const bool normal = (flags & DDSCL_NORMAL) != 0;
  if (exclusive != fullScreen || (normal && exclusive) || (!normal && !exclusive)) return DDERR_INVALIDPARAMS;
  if (exclusive && IsNone(target)) return DDERR_INVALIDPARAMS;
  if (exclusive && system_.displayTaken) return DDERR_EXCLUSIVEMODEALREADYSET;
  if (normal && Exclusive()) {
    // Leaving the exclusive mode gives the desktop its own mode back.
    mode_ = system_.desktopMode;
    LoseVideoSurfaces();
  }
  window = target;
  cooperativeFlags = flags;
  return DD_OK;
}

int32_t FakeDirectDraw::SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                                       uint32_t refreshRate, uint32_t flags) {
  world().Record("DirectDraw::SetDisplayMode", {width, height, bitsPerPixel, refreshRate, flags});
  if (const int32_t failure = world().Check("DirectDraw::SetDisplayMode"); failure != S_OK) return failure;
  if (!Exclusive()) return DDERR_NOEXCLUSIVEMODE;
  for (const DDSURFACEDESC2& mode : config_.modes) {
    if (mode.dwWidth == width && mode.dwHeight == height && mode.ddpfPixelFormat.dwRGBBitCount == bitsPerPixel &&
        (refreshRate == 0 || mode.dwRefreshRate == refreshRate)) {
      mode_ = mode;
      LoseVideoSurfaces();
      return DD_OK;
    }
  }
  return DDERR_INVALIDMODE;
}

int32_t FakeDirectDraw::GetDisplayMode(DDSURFACEDESC2* desc) {
  world().Record("DirectDraw::GetDisplayMode");
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  if (const int32_t failure = world().Check("DirectDraw::GetDisplayMode"); failure != S_OK) return failure;
  *desc = mode_;
  return DD_OK;
}

void FakeDirectDraw::LoseVideoSurfaces() {
  for (FakeSurface* surface : system_.surfaces_) {
    if (surface->owner() == this && surface->videoMemory() && !surface->managed()) surface->lost = true;
  }
}

int32_t FakeDirectDraw::CreateSurface(const DDSURFACEDESC2* desc, DrawSurface** out) {
  world().Record("DirectDraw::CreateSurface", {desc ? desc->dwFlags : 0, desc ? desc->ddsCaps.dwCaps : 0,
                                               desc ? desc->dwWidth : 0, desc ? desc->dwHeight : 0});
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (const int32_t failure = world().Check("DirectDraw::CreateSurface"); failure != S_OK) return failure;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2) || !(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
  if (cooperativeFlags == 0) return DDERR_NOCOOPERATIVELEVELSET;
  const uint32_t caps = desc->ddsCaps.dwCaps;
  DDSURFACEDESC2 made{};
  made.dwSize = sizeof made;
  made.ddsCaps = desc->ddsCaps;
  made.dwTextureStage = (desc->dwFlags & DDSD_TEXTURESTAGE) ? desc->dwTextureStage : 0;
  uint32_t backBuffers = 0;
  const bool systemMemory = (caps & DDSCAPS_SYSTEMMEMORY) != 0;
  const bool managed = (desc->ddsCaps.dwCaps2 & DDSCAPS2_TEXTUREMANAGE) != 0;
  if (caps & DDSCAPS_PRIMARYSURFACE) {
    if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    for (FakeSurface* surface : system_.surfaces_) {
      if (surface->owner() == this && surface->isPrimary() && !surface->dead()) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    }
    if (caps & DDSCAPS_FLIP) {
      if (!Exclusive()) return DDERR_NOEXCLUSIVEMODE;
      if (!(desc->dwFlags & DDSD_BACKBUFFERCOUNT) || !(caps & DDSCAPS_COMPLEX) || desc->dwBackBufferCount < 1 ||
          desc->dwBackBufferCount > 3) {
        return DDERR_INVALIDPARAMS;
      }
      backBuffers = desc->dwBackBufferCount;
    }
    made.dwWidth = mode_.dwWidth;
    made.dwHeight = mode_.dwHeight;
    made.ddpfPixelFormat = mode_.ddpfPixelFormat;
    made.dwBackBufferCount = backBuffers;
    made.ddsCaps.dwCaps |= DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE | DDSCAPS_VIDEOMEMORY;
    made.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT |
                   (backBuffers ? DDSD_BACKBUFFERCOUNT : 0);
  } else {
    if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
    if (desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > kMaxSurfaceSide ||
        desc->dwHeight > kMaxSurfaceSide) {
      return DDERR_INVALIDPARAMS;
    }
    made.dwWidth = desc->dwWidth;
    made.dwHeight = desc->dwHeight;
    made.ddpfPixelFormat = (desc->dwFlags & DDSD_PIXELFORMAT) ? desc->ddpfPixelFormat : mode_.ddpfPixelFormat;
    const DDPIXELFORMAT& f = made.ddpfPixelFormat;
    if (f.dwSize != sizeof(DDPIXELFORMAT) || (f.dwFlags & DDPF_FOURCC) || BytesPerPixel(f) == 0 ||
        (f.dwRGBBitCount == 8 && !(f.dwFlags & (DDPF_PALETTEINDEXED8 | DDPF_LUMINANCE))) ||
        (f.dwRGBBitCount > 8 && !(f.dwFlags & (DDPF_RGB | DDPF_LUMINANCE)))) {
      return DDERR_INVALIDPIXELFORMAT;
    }
    made.ddsCaps.dwCaps |= systemMemory ? 0 : DDSCAPS_VIDEOMEMORY;
    made.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT |
                   (made.dwTextureStage ? DDSD_TEXTURESTAGE : 0);
  }
  const bool inVideoMemory = !systemMemory && !managed;
  const uint64_t bytes = uint64_t{made.dwWidth} * made.dwHeight * BytesPerPixel(made.ddpfPixelFormat) *
                         (1 + backBuffers);
  if (inVideoMemory && config_.videoMemory != 0 && videoMemoryUsed + bytes > config_.videoMemory) {
    return DDERR_OUTOFVIDEOMEMORY;
  }
  auto* surface = new FakeSurface(*this, made, inVideoMemory);
  for (uint32_t i = 0; i < backBuffers; ++i) {
    DDSURFACEDESC2 back = made;
    back.dwBackBufferCount = 0;
    back.ddsCaps.dwCaps = (caps & (DDSCAPS_3DDEVICE | DDSCAPS_FLIP | DDSCAPS_COMPLEX)) | DDSCAPS_BACKBUFFER |
                          DDSCAPS_VIDEOMEMORY;
    back.dwFlags &= ~DDSD_BACKBUFFERCOUNT;
    surface->AttachBackBuffer(new FakeSurface(*this, back, true));
  }
  *out = surface;
  return DD_OK;
}

int32_t FakeDirectDraw::CreatePalette(uint32_t flags, const PALETTEENTRY* entries, DrawPalette** out) {
  world().Record("DirectDraw::CreatePalette", {flags});
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (const int32_t failure = world().Check("DirectDraw::CreatePalette"); failure != S_OK) return failure;
  if (!entries || !(flags & DDPCAPS_8BIT)) return DDERR_INVALIDPARAMS;
  *out = new FakePalette(world(), entries);
  return DD_OK;
}

int32_t FakeDirectDraw::TestCooperativeLevel() {
  world().Record("DirectDraw::TestCooperativeLevel");
  if (const int32_t failure = world().Check("DirectDraw::TestCooperativeLevel"); failure != S_OK) return failure;
  if (Exclusive() && system_.displayTaken) return DDERR_NOEXCLUSIVEMODE;
  return DD_OK;
}

int32_t FakeDirectDraw::FlipToGDISurface() {
  world().Record("DirectDraw::FlipToGDISurface");
  if (const int32_t failure = world().Check("DirectDraw::FlipToGDISurface"); failure != S_OK) return failure;
  for (FakeSurface* surface : system_.surfaces_) {
    if (surface->owner() == this && surface->isPrimary() && !surface->dead()) {
      ++flipsToGdi;
      return DD_OK;
    }
  }
  return DDERR_NOTFOUND;
}

// ---- FakePalette

FakePalette::FakePalette(FakeWorld& world, const PALETTEENTRY* source) : FakeObject(world, "DrawPalette") {
  std::memcpy(entries, source, sizeof entries);
}

int32_t FakePalette::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirectDrawPalette) return HandOut<DrawPalette>(this, out);
  return E_NOINTERFACE;
}

int32_t FakePalette::GetEntries(uint32_t start, uint32_t count, PALETTEENTRY* out) {
  if (!out || start >= 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
  std::memcpy(out, entries + start, count * sizeof(PALETTEENTRY));
  return DD_OK;
}

// ---- FakeSurface

FakeSurface::FakeSurface(FakeDirectDraw& owner, const DDSURFACEDESC2& desc, bool videoMemory)
    : FakeObject(owner.world(), "DrawSurface"),
      system_(&owner.system()),
      owner_(&owner),
      ownerRef_(Ref<DirectDraw>::Retain(&owner)),
      desc_(desc),
      videoMemory_(videoMemory),
      pixels_(static_cast<int32_t>(desc.dwWidth), static_cast<int32_t>(desc.dwHeight), desc.ddpfPixelFormat) {
  desc_.lPitch = pixels_.Pitch();
  if (videoMemory_) {
    owner_->videoMemoryUsed += static_cast<uint64_t>(pixels_.Pitch()) * desc.dwHeight;
  }
  owner_->system().surfaces_.push_back(this);
}

FakeSurface::~FakeSurface() {
  // owner_ may already be gone at world teardown; the list lives in the system.
  FakeGraphicsSystem::Forget(system().surfaces_, this);
}

FakeGraphicsSystem& FakeSurface::system() const { return *system_; }

void FakeSurface::OnFinalRelease() {
  if (!IsNone(dc_)) {
    owner_->system().gdi().RemoveTargetDc(dc_);
    dc_ = Dc{};
  }
  if (videoMemory_) owner_->videoMemoryUsed -= static_cast<uint64_t>(pixels_.Pitch()) * desc_.dwHeight;
  palette_.Reset();
  // The back buffers of a flip chain go with its primary, whoever still points at them.
  for (FakeSurface* back : backBuffers_) {
    if (back->references() > 1) back->Bury();
    back->Release();
  }
  backBuffers_.clear();
  ownerRef_.Reset();
}

int32_t FakeSurface::Usable() const {
  if (buried()) return DDERR_INVALIDOBJECT;
  if (lost) return DDERR_SURFACELOST;
  return DD_OK;
}

int32_t FakeSurface::QueryInterface(const GUID& iid, void** out) {
  world().Record("DrawSurface::QueryInterface", {P(this), static_cast<int64_t>(iid.Data1)});
  if (!out) return E_POINTER;
  *out = nullptr;
  if (const int32_t failure = world().Check("DrawSurface::QueryInterface"); failure != S_OK) return failure;
  if (buried()) return DDERR_INVALIDOBJECT;
  if (iid == IID_IUnknown || iid == IID_IDirectDrawSurface4) return HandOut<DrawSurface>(this, out);
  if (iid == IID_IDirect3DTexture2 && isTexture()) return HandOut<Texture3D>(this, out);
  return E_NOINTERFACE;
}

int32_t FakeSurface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
  world().Record("DrawSurface::GetSurfaceDesc", {P(this)});
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  if (const int32_t failure = world().Check("DrawSurface::GetSurfaceDesc"); failure != S_OK) return failure;
  if (buried()) return DDERR_INVALIDOBJECT;
  *desc = desc_;
  desc->lpSurface = nullptr;
  return DD_OK;
}

int32_t FakeSurface::GetAttachedSurface(const DDSCAPS2& caps, DrawSurface** out) {
  world().Record("DrawSurface::GetAttachedSurface", {P(this), caps.dwCaps});
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (const int32_t failure = world().Check("DrawSurface::GetAttachedSurface"); failure != S_OK) return failure;
  if (buried()) return DDERR_INVALIDOBJECT;
  if (lost) return DDERR_SURFACELOST;
  for (FakeSurface* back : backBuffers_) {
    if ((back->desc_.ddsCaps.dwCaps & caps.dwCaps) == caps.dwCaps) {
      back->AddRef();
      *out = back;
      return DD_OK;
    }
  }
  return DDERR_NOTFOUND;
}

int32_t FakeSurface::Flip(DrawSurface* target, uint32_t flags) {
  world().Record("DrawSurface::Flip", {P(this), P(target), flags});
  if (const int32_t failure = world().Check("DrawSurface::Flip"); failure != S_OK) return failure;
  if (const int32_t usable = Usable(); usable != DD_OK) return usable;
  if (!isPrimary() || backBuffers_.empty()) return DDERR_NOTFLIPPABLE;
  if (target && std::find(backBuffers_.begin(), backBuffers_.end(), target) == backBuffers_.end()) {
    return DDERR_INVALIDPARAMS;
  }
  for (FakeSurface* back : backBuffers_) {
    if (back->lost) return DDERR_SURFACELOST;
    if (back->locked || !IsNone(back->dc_)) return DDERR_SURFACEBUSY;
  }
  // The front shows what the first back buffer held; the buffers move along the chain.
  for (FakeSurface* back : backBuffers_) pixels_.Swap(back->pixels_);
  ++flips;
  return DD_OK;
}

int32_t FakeSurface::IsLost() {
  world().Record("DrawSurface::IsLost", {P(this)});
  if (const int32_t failure = world().Check("DrawSurface::IsLost"); failure != S_OK) return failure;
  if (buried()) return DDERR_INVALIDOBJECT;
  return lost ? DDERR_SURFACELOST : DD_OK;
}

int32_t FakeSurface::Restore() {
  world().Record("DrawSurface::Restore", {P(this)});
  if (const int32_t failure = world().Check("DrawSurface::Restore"); failure != S_OK) return failure;
  if (buried()) return DDERR_INVALIDOBJECT;
  if (!lost) return DD_OK;
  if (system().displayTaken) return DDERR_WRONGMODE;
  lost = false;
  pixels_.Fill(0xCD);  // memory is back, contents are not
  for (FakeSurface* back : backBuffers_) {
    back->lost = false;
    back->pixels_.Fill(0xCD);
  }
  return DD_OK;
}

int32_t FakeSurface::GetDC(Dc* out) {
  world().Record("DrawSurface::GetDC", {P(this)});
  if (!out) return DDERR_INVALIDPARAMS;
  *out = Dc{};
  if (const int32_t failure = world().Check("DrawSurface::GetDC"); failure != S_OK) return failure;
  if (const int32_t usable = Usable(); usable != DD_OK) return usable;
  if (!IsNone(dc_)) return DDERR_DCALREADYCREATED;
  if (locked) return DDERR_SURFACEBUSY;
  dc_ = system().gdi().AddTargetDc(&pixels_);
  *out = dc_;
  return DD_OK;
}

int32_t FakeSurface::ReleaseDC(Dc dc) {
  world().Record("DrawSurface::ReleaseDC", {P(this), H(dc)});
  if (const int32_t failure = world().Check("DrawSurface::ReleaseDC"); failure != S_OK) return failure;
  if (IsNone(dc_) || dc != dc_) return DDERR_NODC;
  system().gdi().RemoveTargetDc(dc_);
  dc_ = Dc{};
  return DD_OK;
}

int32_t FakeSurface::Blt(const RECT* dstRect, DrawSurface* src, const RECT* srcRect, uint32_t flags) {
  world().Record("DrawSurface::Blt", {P(this), P(src), flags});
  if (const int32_t failure = world().Check("DrawSurface::Blt"); failure != S_OK) return failure;
  auto* source = dynamic_cast<FakeSurface*>(src);
  if (!source) return DDERR_INVALIDPARAMS;
  if (const int32_t usable = Usable(); usable != DD_OK) return usable;
  if (const int32_t usable = source->Usable(); usable != DD_OK) return usable;
  if (locked || source->locked || !IsNone(dc_) || !IsNone(source->dc_)) return DDERR_SURFACEBUSY;
  const RECT whole{0, 0, pixels_.Width(), pixels_.Height()};
  const RECT sourceWhole{0, 0, source->pixels_.Width(), source->pixels_.Height()};
  const RECT to = dstRect ? *dstRect : whole;
  const RECT from = srcRect ? *srcRect : sourceWhole;
  auto inside = [](const RECT& r, const RECT& bounds) {
    return r.left >= bounds.left && r.top >= bounds.top && r.right <= bounds.right && r.bottom <= bounds.bottom &&
           r.left < r.right && r.top < r.bottom;
  };
  if (!inside(to, whole) || !inside(from, sourceWhole)) return DDERR_INVALIDRECT;
  if (source == this) {
    PixelStore copy = pixels_;
    CopyPixels(pixels_, to, copy, from);
  } else {
    CopyPixels(pixels_, to, source->pixels_, from);
  }
  return DD_OK;
}

int32_t FakeSurface::Lock(const RECT* rect, DDSURFACEDESC2* desc, uint32_t flags) {
  world().Record("DrawSurface::Lock", {P(this), flags});
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  if (const int32_t failure = world().Check("DrawSurface::Lock"); failure != S_OK) return failure;
  if (const int32_t usable = Usable(); usable != DD_OK) return usable;
  if (locked || !IsNone(dc_)) return DDERR_SURFACEBUSY;
  const RECT area = rect ? *rect : RECT{0, 0, pixels_.Width(), pixels_.Height()};
  if (area.left < 0 || area.top < 0 || area.right > pixels_.Width() || area.bottom > pixels_.Height() ||
      area.left >= area.right || area.top >= area.bottom) {
    return DDERR_INVALIDRECT;
  }
  *desc = desc_;
  desc->dwFlags |= DDSD_LPSURFACE | DDSD_PITCH;
  desc->lPitch = pixels_.Pitch();
  desc->lpSurface = pixels_.Data() + static_cast<size_t>(area.top) * static_cast<size_t>(pixels_.Pitch()) +
                    static_cast<size_t>(area.left) * BytesPerPixel(desc_.ddpfPixelFormat);
  locked = true;
  return DD_OK;
}

int32_t FakeSurface::Unlock(const RECT* rect) {
  world().Record("DrawSurface::Unlock", {P(this), rect ? 1 : 0});
  if (const int32_t failure = world().Check("DrawSurface::Unlock"); failure != S_OK) return failure;
  if (!locked) return DDERR_NOTLOCKED;
  locked = false;
  return DD_OK;
}

int32_t FakeSurface::GetDDInterface(DirectDraw** out) {
  world().Record("DrawSurface::GetDDInterface", {P(this)});
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (const int32_t failure = world().Check("DrawSurface::GetDDInterface"); failure != S_OK) return failure;
  if (buried()) return DDERR_INVALIDOBJECT;
  owner_->AddRef();
  *out = owner_;
  return DD_OK;
}

int32_t FakeSurface::SetPalette(DrawPalette* palette) {
  world().Record("DrawSurface::SetPalette", {P(this), P(palette)});
  if (const int32_t failure = world().Check("DrawSurface::SetPalette"); failure != S_OK) return failure;
  if (buried()) return DDERR_INVALIDOBJECT;
  if (!(desc_.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8)) return DDERR_INVALIDPIXELFORMAT;
  palette_ = Ref<DrawPalette>::Retain(palette);
  return DD_OK;
}

// ---- FakeDirect3D

FakeDirect3D::FakeDirect3D(FakeDirectDraw& owner)
    : FakeObject(owner.world(), "Direct3D"), owner_(&owner), ownerRef_(Ref<DirectDraw>::Retain(&owner)) {}

int32_t FakeDirect3D::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirect3D3) return HandOut<Direct3D>(this, out);
  return E_NOINTERFACE;
}

int32_t FakeDirect3D::EnumDevices(D3DENUMDEVICESCALLBACK callback, void* context) {
  world().Record("Direct3D::EnumDevices");
  if (!callback) return DDERR_INVALIDPARAMS;
  if (const int32_t failure = world().Check("Direct3D::EnumDevices"); failure != S_OK) return failure;
  const std::vector<FakeDeviceConfig> devices = owner_->config().devices;
  for (const FakeDeviceConfig& device : devices) {
    GUID guid = device.guid;
    D3DDEVICEDESC hardware = device.hardware;
    D3DDEVICEDESC emulation = device.emulation;
    if (callback(&guid, device.description.c_str(), device.name.c_str(), &hardware, &emulation, context) ==
        D3DENUMRET_CANCEL) {
      break;
    }
  }
  return DD_OK;
}

int32_t FakeDirect3D::FindDevice(const GUID& deviceGuid) {
  world().Record("Direct3D::FindDevice", {static_cast<int64_t>(deviceGuid.Data1)});
  if (const int32_t failure = world().Check("Direct3D::FindDevice"); failure != S_OK) return failure;
  return owner_->FindDevice(deviceGuid) ? DD_OK : DDERR_NOTFOUND;
}

int32_t FakeDirect3D::EnumZBufferFormats(const GUID& deviceGuid, D3DENUMPIXELFORMATSCALLBACK callback,
                                         void* context) {
  world().Record("Direct3D::EnumZBufferFormats", {static_cast<int64_t>(deviceGuid.Data1)});
  if (!callback) return DDERR_INVALIDPARAMS;
  if (const int32_t failure = world().Check("Direct3D::EnumZBufferFormats"); failure != S_OK) return failure;
  const FakeDeviceConfig* device = owner_->FindDevice(deviceGuid);
  if (!device) return DDERR_INVALIDPARAMS;
  const std::vector<DDPIXELFORMAT> formats = device->depthFormats;
  for (const DDPIXELFORMAT& format : formats) {
    DDPIXELFORMAT copy = format;
    if (callback(&copy, context) == D3DENUMRET_CANCEL) break;
  }
  return DD_OK;
}

int32_t FakeDirect3D::CreateDevice(const GUID& deviceGuid, DrawSurface* target, Device3D** out) {
  world().Record("Direct3D::CreateDevice", {static_cast<int64_t>(deviceGuid.Data1), P(target)});
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (const int32_t failure = world().Check("Direct3D::CreateDevice"); failure != S_OK) return failure;
  const FakeDeviceConfig* device = owner_->FindDevice(deviceGuid);
  if (!device || !device->creatable) return D3DERR_INVALID_DEVICE;
  auto* surface = dynamic_cast<FakeSurface*>(target);
  if (!surface || surface->dead() || !(surface->desc().ddsCaps.dwCaps & DDSCAPS_3DDEVICE)) {
    return DDERR_INVALIDPARAMS;
  }
  if (surface->lost) return DDERR_SURFACELOST;
  // A device renders only to the depths its description lists.
  const D3DDEVICEDESC& desc = device->hardware.dwFlags ? device->hardware : device->emulation;
  uint32_t depthBit = 0;
  switch (surface->desc().ddpfPixelFormat.dwRGBBitCount) {
    case 8: depthBit = DDBD_8; break;
    case 16: depthBit = DDBD_16; break;
    case 24: depthBit = DDBD_24; break;
    case 32: depthBit = DDBD_32; break;
    default: break;
  }
  if (!(desc.dwDeviceRenderBitDepth & depthBit)) return D3DERR_INVALID_DEVICE;
  *out = new FakeDevice(*this, *device, *surface);
  return DD_OK;
}

int32_t FakeDirect3D::CreateViewport(Viewport3D** out) {
  world().Record("Direct3D::CreateViewport");
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (const int32_t failure = world().Check("Direct3D::CreateViewport"); failure != S_OK) return failure;
  *out = new FakeViewport(world());
  return DD_OK;
}

// ---- FakeDevice

FakeDevice::FakeDevice(FakeDirect3D& direct3D, const FakeDeviceConfig& config, FakeSurface& target)
    : FakeObject(direct3D.world(), "Device3D"),
      system_(direct3D.owner().system()),
      config_(config),
      direct3D_(Ref<Direct3D>::Retain(&direct3D)),
      target_(&target),
      targetRef_(Ref<DrawSurface>::Retain(&target)) {
  system_.devices_.push_back(this);
}

FakeDevice::~FakeDevice() { FakeGraphicsSystem::Forget(system_.devices_, this); }

void FakeDevice::OnFinalRelease() {
  for (Ref<Viewport3D>& viewport : viewports_) static_cast<FakeViewport*>(viewport.Get())->device = nullptr;
  viewports_.clear();
  current_ = nullptr;
  for (Ref<Texture3D>& texture : textures_) texture.Reset();
  targetRef_.Reset();
  direct3D_.Reset();
}

void FakeDevice::ClearRecords() {
  commands.clear();
  draws.clear();
  clears.clear();
}

void FakeDevice::RecordClear(FakeClear clear) {
  clears.push_back(std::move(clear));
  DeviceCommand command{DeviceCommand::Kind::Clear};
  command.index = clears.size() - 1;
  commands.push_back(command);
}

int32_t FakeDevice::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirect3DDevice3) return HandOut<Device3D>(this, out);
  return E_NOINTERFACE;
}

int32_t FakeDevice::GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) {
  world().Record("Device3D::GetCaps");
  if (!hardware || !emulation || hardware->dwSize != sizeof(D3DDEVICEDESC) ||
      emulation->dwSize != sizeof(D3DDEVICEDESC)) {
    return DDERR_INVALIDPARAMS;
  }
  if (const int32_t failure = world().Check("Device3D::GetCaps"); failure != S_OK) return failure;
  *hardware = config_.hardware;
  *emulation = config_.emulation;
  hardware->dwSize = emulation->dwSize = sizeof(D3DDEVICEDESC);
  return DD_OK;
}

int32_t FakeDevice::EnumTextureFormats(D3DENUMPIXELFORMATSCALLBACK callback, void* context) {
  world().Record("Device3D::EnumTextureFormats");
  if (!callback) return DDERR_INVALIDPARAMS;
  if (const int32_t failure = world().Check("Device3D::EnumTextureFormats"); failure != S_OK) return failure;
  const std::vector<DDPIXELFORMAT> formats = config_.textureFormats;
  for (const DDPIXELFORMAT& format : formats) {
    DDPIXELFORMAT copy = format;
    if (callback(&copy, context) == D3DENUMRET_CANCEL) break;
  }
  return DD_OK;
}

int32_t FakeDevice::GetRenderTarget(DrawSurface** out) {
  world().Record("Device3D::GetRenderTarget");
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (const int32_t failure = world().Check("Device3D::GetRenderTarget"); failure != S_OK) return failure;
  target_->AddRef();
  *out = target_;
  return DD_OK;
}

int32_t FakeDevice::AddViewport(Viewport3D* viewport) {
  world().Record("Device3D::AddViewport", {P(viewport)});
  if (const int32_t failure = world().Check("Device3D::AddViewport"); failure != S_OK) return failure;
  auto* fake = dynamic_cast<FakeViewport*>(viewport);
  if (!fake || (fake->device && fake->device != this)) return DDERR_INVALIDPARAMS;
  if (fake->device == this) return DDERR_INVALIDPARAMS;  // added twice
  fake->device = this;
  viewports_.push_back(Ref<Viewport3D>::Retain(viewport));
  return DD_OK;
}

int32_t FakeDevice::SetCurrentViewport(Viewport3D* viewport) {
  world().Record("Device3D::SetCurrentViewport", {P(viewport)});
  if (const int32_t failure = world().Check("Device3D::SetCurrentViewport"); failure != S_OK) return failure;
  auto* fake = dynamic_cast<FakeViewport*>(viewport);
  if (!fake || fake->device != this) return DDERR_INVALIDPARAMS;
  if (!fake->hasData) return D3DERR_VIEWPORTDATANOTSET;
  current_ = fake;
  return DD_OK;
}

int32_t FakeDevice::BeginScene() {
  world().Record("Device3D::BeginScene");
  if (const int32_t failure = world().Check("Device3D::BeginScene"); failure != S_OK) return failure;
  if (inScene) return D3DERR_SCENE_IN_SCENE;
  if (target_->lost) return DDERR_SURFACELOST;
  inScene = true;
  commands.push_back({DeviceCommand::Kind::BeginScene});
  return DD_OK;
}

int32_t FakeDevice::EndScene() {
  world().Record("Device3D::EndScene");
  if (const int32_t failure = world().Check("Device3D::EndScene"); failure != S_OK) return failure;
  if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
  inScene = false;
  ++scenes;
  commands.push_back({DeviceCommand::Kind::EndScene});
  return DD_OK;
}

int32_t FakeDevice::SetTransform(uint32_t state, const D3DMATRIX& matrix) {
  world().Record("Device3D::SetTransform", {state});
  if (const int32_t failure = world().Check("Device3D::SetTransform"); failure != S_OK) return failure;
  if (state < D3DTRANSFORMSTATE_WORLD || state > D3DTRANSFORMSTATE_PROJECTION) return DDERR_INVALIDPARAMS;
  transforms[state] = matrix;
  DeviceCommand command{DeviceCommand::Kind::SetTransform, state};
  command.matrix = matrix;
  commands.push_back(command);
  return DD_OK;
}

int32_t FakeDevice::SetRenderState(uint32_t state, uint32_t value) {
  world().Record("Device3D::SetRenderState", {state, value});
  if (const int32_t failure = world().Check("Device3D::SetRenderState"); failure != S_OK) return failure;
  if (state == 0 || state > 255) return DDERR_INVALIDPARAMS;
  renderStates[state] = value;
  commands.push_back({DeviceCommand::Kind::SetRenderState, state, 0, value});
  return DD_OK;
}

int32_t FakeDevice::SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) {
  world().Record("Device3D::SetTextureStageState", {stage, state, value});
  if (const int32_t failure = world().Check("Device3D::SetTextureStageState"); failure != S_OK) return failure;
  if (stage >= 8 || state == 0 || state > 24) return DDERR_INVALIDPARAMS;
  stageStates[{stage, state}] = value;
  commands.push_back({DeviceCommand::Kind::SetTextureStageState, stage, state, value});
  return DD_OK;
}

int32_t FakeDevice::SetTexture(uint32_t stage, Texture3D* texture) {
  world().Record("Device3D::SetTexture", {stage, P(texture)});
  if (const int32_t failure = world().Check("Device3D::SetTexture"); failure != S_OK) return failure;
  if (stage >= 8) return DDERR_INVALIDPARAMS;
  if (texture) {
    auto* surface = dynamic_cast<FakeSurface*>(texture);
    if (!surface || surface->dead() || !surface->isTexture()) return DDERR_INVALIDPARAMS;
  }
  textures_[stage] = Ref<Texture3D>::Retain(texture);
  DeviceCommand command{DeviceCommand::Kind::SetTexture, stage};
  command.texture = texture;
  commands.push_back(command);
  return DD_OK;
}

int32_t FakeDevice::DrawPrimitiveStrided(uint32_t primitiveType, uint32_t fvf,
                                         const D3DDRAWPRIMITIVESTRIDEDDATA& data, uint32_t vertexCount,
                                         uint32_t flags) {
  world().Record("Device3D::DrawPrimitiveStrided", {primitiveType, fvf, vertexCount, flags});
  if (const int32_t failure = world().Check("Device3D::DrawPrimitiveStrided"); failure != S_OK) return failure;
  if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
  const uint32_t textureSets = (fvf >> 8) & 0xF;
  if (!(fvf & D3DFVF_XYZ) || textureSets > D3DDP_MAXTEXCOORD) return D3DERR_INVALIDVERTEXFORMAT;
  if (primitiveType < D3DPT_POINTLIST || primitiveType > D3DPT_TRIANGLEFAN || vertexCount == 0 ||
      vertexCount > 65535) {
    return DDERR_INVALIDPARAMS;
  }
  if ((primitiveType >= D3DPT_TRIANGLELIST && vertexCount < 3) || !data.position.lpvData ||
      ((fvf & D3DFVF_DIFFUSE) && !data.diffuse.lpvData)) {
    return DDERR_INVALIDPARAMS;
  }
  for (uint32_t set = 0; set < textureSets; ++set) {
    if (!data.textureCoords[set].lpvData) return DDERR_INVALIDPARAMS;
  }
  FakeDraw draw{primitiveType, fvf, flags, {}, Identity(), Identity(), Identity(), textures_[0].Get(),
                renderStates, D3DTOP_MODULATE};
  if (auto it = transforms.find(D3DTRANSFORMSTATE_WORLD); it != transforms.end()) draw.world = it->second;
  if (auto it = transforms.find(D3DTRANSFORMSTATE_VIEW); it != transforms.end()) draw.view = it->second;
  if (auto it = transforms.find(D3DTRANSFORMSTATE_PROJECTION); it != transforms.end()) draw.projection = it->second;
  if (auto it = stageStates.find({0, D3DTSS_COLOROP}); it != stageStates.end()) draw.colorOp0 = it->second;
  draw.vertices.reserve(vertexCount);
  for (uint32_t i = 0; i < vertexCount; ++i) {
    FakeVertex vertex{};
    const auto* position = static_cast<const uint8_t*>(data.position.lpvData) + size_t{i} * data.position.dwStride;
    std::memcpy(&vertex.x, position, sizeof(float));
    std::memcpy(&vertex.y, position + sizeof(float), sizeof(float));
    std::memcpy(&vertex.z, position + 2 * sizeof(float), sizeof(float));
    if (fvf & D3DFVF_DIFFUSE) {
      const auto* diffuse = static_cast<const uint8_t*>(data.diffuse.lpvData) + size_t{i} * data.diffuse.dwStride;
      std::memcpy(&vertex.diffuse, diffuse, sizeof(D3DCOLOR));
    }
    if (textureSets > 0) {
      const auto* uv = static_cast<const uint8_t*>(data.textureCoords[0].lpvData) +
                       size_t{i} * data.textureCoords[0].dwStride;
      std::memcpy(&vertex.tu, uv, sizeof(float));
      std::memcpy(&vertex.tv, uv + sizeof(float), sizeof(float));
    }
    draw.vertices.push_back(vertex);
  }
  draws.push_back(std::move(draw));
  DeviceCommand command{DeviceCommand::Kind::Draw};
  command.index = draws.size() - 1;
  commands.push_back(command);
  return DD_OK;
}

// ---- FakeViewport

int32_t FakeViewport::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirect3DViewport3) return HandOut<Viewport3D>(this, out);
  return E_NOINTERFACE;
}

int32_t FakeViewport::SetViewport2(const D3DVIEWPORT2& viewport) {
  world().Record("Viewport3D::SetViewport2", {viewport.dwX, viewport.dwY, viewport.dwWidth, viewport.dwHeight});
  if (const int32_t failure = world().Check("Viewport3D::SetViewport2"); failure != S_OK) return failure;
  if (viewport.dwSize != sizeof(D3DVIEWPORT2) || viewport.dwWidth == 0 || viewport.dwHeight == 0) {
    return DDERR_INVALIDPARAMS;
  }
  if (!device) return D3DERR_VIEWPORTHASNODEVICE;
  data = viewport;
  hasData = true;
  return DD_OK;
}

int32_t FakeViewport::GetViewport2(D3DVIEWPORT2* out) {
  world().Record("Viewport3D::GetViewport2");
  if (!out || out->dwSize != sizeof(D3DVIEWPORT2)) return DDERR_INVALIDPARAMS;
  if (const int32_t failure = world().Check("Viewport3D::GetViewport2"); failure != S_OK) return failure;
  if (!hasData) return D3DERR_VIEWPORTDATANOTSET;
  *out = data;
  return DD_OK;
}

int32_t FakeViewport::Clear2(uint32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color, float z,
                             uint32_t stencil) {
  world().Record("Viewport3D::Clear2", {count, flags, color});
  if (const int32_t failure = world().Check("Viewport3D::Clear2"); failure != S_OK) return failure;
  if (!device) return D3DERR_VIEWPORTHASNODEVICE;
  if (count == 0 || !rects || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0) {
    return DDERR_INVALIDPARAMS;
  }
  if (device->target().lost) return DDERR_SURFACELOST;
  FakeClear clear{std::vector<D3DRECT>(rects, rects + count), flags, color, z, stencil};
  if (flags & D3DCLEAR_TARGET) {
    PixelStore& pixels = device->target().pixels();
    const Rgb rgb{static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8), static_cast<uint8_t>(color)};
    for (const D3DRECT& r : clear.rects) {
      for (int32_t y = std::max(r.y1, 0); y < std::min(r.y2, pixels.Height()); ++y) {
        for (int32_t x = std::max(r.x1, 0); x < std::min(r.x2, pixels.Width()); ++x) pixels.Set(x, y, rgb);
      }
    }
  }
  device->RecordClear(std::move(clear));
  return DD_OK;
}

}  // namespace nb::fake
