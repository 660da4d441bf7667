// Building, presenting and releasing the exclusive full-screen display.
// Depends on display_framework.h. The release order in ReleaseAll is deliberate: the
// device before its render target, the surfaces before DirectDraw, and the desktop's
// cooperative level back before the DirectDraw object goes.
#include "display/display_framework.h"

namespace nb {

namespace {

constexpr uint32_t exclusiveLevel =
    DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP;
constexpr uint32_t primaryCaps =
    DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;

// Keeps the first format whose flags are exactly the plain depth-buffer flag, and any later
// one of that kind until a 16-bit one is found.
int32_t DepthFormatCallback(const DDPIXELFORMAT* format, void* context) {
  auto* wanted = static_cast<DDPIXELFORMAT*>(context);
  if (!format || !wanted) return D3DENUMRET_CANCEL;
  if (format->dwFlags == wanted->dwFlags) {
    *wanted = *format;
    if (format->dwZBufferBitDepth == 16) return D3DENUMRET_CANCEL;
  }
  return D3DENUMRET_OK;
}

}  // namespace

DisplayFramework::DisplayFramework(GraphicsSystem& graphics, WindowSystem& windows)
    : graphics_(graphics), windows_(windows) {}

DisplayFramework::~DisplayFramework() { ReleaseAll(); }

int32_t DisplayFramework::Initialize(Window window, const GUID* driverGuid,
                                     const GUID* deviceGuid, const ModeEntry* mode) {
  if (IsNone(window) || !mode || !deviceGuid) return E_INVALIDARG;
  // A framework is started once at a time; starting it again begins from nothing.
  if (directDraw_) ReleaseAll();
  window_ = window;

  int32_t result = OpenDirectDraw(driverGuid);
  if (Succeeded(result)) result = OpenDirect3D(*deviceGuid);
  if (Succeeded(result)) result = BuildFlipChain(*mode);
  if (Succeeded(result)) result = OpenDevice(*deviceGuid);
  if (Succeeded(result)) result = BuildViewport();
  if (Failed(result)) {
    ReleaseAll();
    return result;
  }
  return S_OK;
}

int32_t DisplayFramework::OpenDirectDraw(const GUID* driverGuid) {
  Ref<Unknown> first;
  if (Failed(graphics_.DirectDrawCreate(driverGuid, first.Put())) || !first) {
    return ResultCode::NoDirectDraw;
  }
  const int32_t queried = QueryInterface(*first, IID_IDirectDraw4, directDraw_);
  first.Reset();
  if (Failed(queried) || !directDraw_) return ResultCode::NoDirectDraw;
  if (Failed(directDraw_->SetCooperativeLevel(window_, exclusiveLevel))) {
    return ResultCode::NoCooperativeLevel;
  }
  return S_OK;
}

int32_t DisplayFramework::OpenDirect3D(const GUID& deviceGuid) {
  if (Failed(QueryInterface(*directDraw_, IID_IDirect3D3, direct3D_)) || !direct3D_) {
    return ResultCode::NoDirect3D;
  }
  if (Failed(direct3D_->FindDevice(deviceGuid))) return ResultCode::NoDirect3D;

  // No depth buffer is built, but a device without a plain depth format is not trusted to
  // run the scene.
  depthFormat_ = DDPIXELFORMAT{};
  depthFormat_.dwFlags = DDPF_ZBUFFER;
  direct3D_->EnumZBufferFormats(deviceGuid, DepthFormatCallback, &depthFormat_);
  if (depthFormat_.dwSize != sizeof(DDPIXELFORMAT)) return ResultCode::NoDepthFormat;
  return S_OK;
}

int32_t DisplayFramework::BuildFlipChain(const ModeEntry& mode) {
  renderWidth_ = mode.surfaceDesc.dwWidth;
  renderHeight_ = mode.surfaceDesc.dwHeight;
  viewportRect_ = RECT{0, 0, static_cast<int32_t>(renderWidth_),
                       static_cast<int32_t>(renderHeight_)};

  if (Failed(directDraw_->SetDisplayMode(renderWidth_, renderHeight_,
                                         mode.surfaceDesc.ddpfPixelFormat.dwRGBBitCount,
                                         mode.surfaceDesc.dwRefreshRate, 0))) {
    return ResultCode::BadDisplayMode;
  }

  DDSURFACEDESC2 primary{};
  primary.dwSize = sizeof(DDSURFACEDESC2);
  primary.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  primary.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  primary.dwBackBufferCount = 1;
  primary.ddsCaps.dwCaps = primaryCaps;
  int32_t result = directDraw_->CreateSurface(&primary, frontBuffer_.Put());
  if (Failed(result) || !frontBuffer_) {
    return result == DDERR_OUTOFVIDEOMEMORY ? result : ResultCode::NoPrimary;
  }

  DDSCAPS2 backCaps{};
  backCaps.dwCaps = DDSCAPS_BACKBUFFER;
  DrawSurface* back = nullptr;
  result = frontBuffer_->GetAttachedSurface(backCaps, &back);
  if (Failed(result) || !back) {
    return result == DDERR_OUTOFVIDEOMEMORY ? result : ResultCode::NoBackBuffer;
  }
  backBuffer_ = back;
  renderTarget_ = Ref<DrawSurface>::Retain(backBuffer_);
  return S_OK;
}

int32_t DisplayFramework::OpenDevice(const GUID& deviceGuid) {
  DDSURFACEDESC2 current{};
  current.dwSize = sizeof(DDSURFACEDESC2);
  directDraw_->GetDisplayMode(&current);
  if (current.ddpfPixelFormat.dwRGBBitCount <= 8) return ResultCode::NeedHighColorDisplay;

  if (Failed(direct3D_->CreateDevice(deviceGuid, renderTarget_.Get(), device3D_.Put())) ||
      !device3D_) {
    return ResultCode::No3DDevice;
  }
  return S_OK;
}

int32_t DisplayFramework::BuildViewport() {
  D3DVIEWPORT2 description{};
  description.dwSize = sizeof(D3DVIEWPORT2);
  description.dwX = 0;
  description.dwY = 0;
  description.dwWidth = renderWidth_;
  description.dwHeight = renderHeight_;
  description.dvClipX = -1.0f;
  description.dvClipY = 1.0f;
  description.dvClipWidth = 2.0f;
  description.dvClipHeight = 2.0f;
  description.dvMinZ = 0.0f;
  description.dvMaxZ = 1.0f;

  if (Failed(direct3D_->CreateViewport(viewport_.Put())) || !viewport_ ||
      Failed(device3D_->AddViewport(viewport_.Get())) ||
      Failed(viewport_->SetViewport2(description)) ||
      Failed(device3D_->SetCurrentViewport(viewport_.Get()))) {
    return ResultCode::NoViewport;
  }
  return S_OK;
}

int32_t DisplayFramework::ReleaseAll() {
  viewport_.Reset();
  const uint32_t deviceLeft = device3D_.Reset();
  renderTarget_.Reset();
  backBuffer_ = nullptr;
  frontBuffer_.Reset();
  direct3D_.Reset();
  uint32_t directDrawLeft = 0;
  if (directDraw_) {
    directDraw_->SetCooperativeLevel(window_, DDSCL_NORMAL);
    directDrawLeft = directDraw_.Reset();
  }
  return (deviceLeft != 0 || directDrawLeft != 0) ? ResultCode::NonzeroRefCount : S_OK;
}

int32_t DisplayFramework::PresentFrame() {
  if (!frontBuffer_) return ResultCode::NoFrontBuffer;
  return frontBuffer_->Flip(nullptr, DDFLIP_WAIT);
}

int32_t DisplayFramework::ShowGdiSurface(bool redrawFrame) {
  if (!directDraw_) return S_OK;
  directDraw_->FlipToGDISurface();
  if (redrawFrame) {
    windows_.DrawMenuBar(window_);
    windows_.RedrawWindow(window_, nullptr, RDW_FRAME);
  }
  return S_OK;
}

int32_t DisplayFramework::RestoreLostSurfaces() {
  if (frontBuffer_ && frontBuffer_->IsLost() != DD_OK) frontBuffer_->Restore();
  if (backBuffer_ && backBuffer_->IsLost() != DD_OK) backBuffer_->Restore();
  return S_OK;
}

}  // namespace nb
