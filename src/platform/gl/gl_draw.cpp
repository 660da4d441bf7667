// The DirectDraw object of the OpenGL driver and its Direct3D interface: display modes,
// the cooperative level, surface and palette creation, device enumeration and creation,
// and the GL program that every device of the driver draws with.
// Depends on gl_objects.h and OpenGL 3.3 core. Every GL call runs after MakeCurrent.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/gl/gl_objects.h"
#include "platform/gl/gl_program.h"

namespace nb {
namespace {

// Positions arrive already in GL clip space (the device transforms on the CPU). One
// program per combination of what the first texture stage does and how colours and
// texture coordinates are interpolated, so that no fragment runs a branch or samples a
// texture it does not need (software rasterizers pay for both on every pixel).
const char* const vertexShader = R"(
layout(location = 0) in vec4 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 uv;
COLOUR_QUALIFIER out vec4 diffuse;
UV_QUALIFIER out vec2 coordinates;
void main() {
  gl_Position = position;
  diffuse = colour;
  coordinates = uv;
}
)";

const char* const fragmentShader = R"(
uniform sampler2D image;
COLOUR_QUALIFIER in vec4 diffuse;
UV_QUALIFIER in vec2 coordinates;
out vec4 result;
void main() {
#if MODE == 0
  result = diffuse;
#elif MODE == 1
  result = texture(image, coordinates) * diffuse;
#else
  result = texture(image, coordinates);
#endif
}
)";

DDPIXELFORMAT ModeFormat(uint32_t bits) {
  return bits == 16 ? GlFormatRgb565() : GlFormatXrgb8888();
}

void FillModeDesc(const GlDisplayMode& mode, uint32_t refresh, DDSURFACEDESC2* desc) {
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(DDSURFACEDESC2);
  desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
  desc->dwWidth = mode.width;
  desc->dwHeight = mode.height;
  desc->lPitch = static_cast<int32_t>(mode.width * (mode.bitsPerPixel / 8));
  desc->dwRefreshRate = refresh;
  desc->ddpfPixelFormat = ModeFormat(mode.bitsPerPixel);
}

void FillPrimCaps(D3DPRIMCAPS* caps) {
  caps->dwSize = sizeof(D3DPRIMCAPS);
  caps->dwMiscCaps = 0x10 | 0x20 | 0x40;  // D3DPMISCCAPS_CULLNONE | CULLCW | CULLCCW
  caps->dwRasterCaps = 0x1;     // D3DPRASTERCAPS_DITHER
  caps->dwZCmpCaps = 0xFF;
  const uint32_t blends = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR |
                          0x8 /* INVSRCCOLOR */ | D3DPBLENDCAPS_SRCALPHA |
                          D3DPBLENDCAPS_INVSRCALPHA | 0x40 | 0x80 | 0x100 | 0x200;
  caps->dwSrcBlendCaps = blends;
  caps->dwDestBlendCaps = blends;
  caps->dwAlphaCmpCaps = 0;
  caps->dwShadeCaps = 0x8 | 0x10;  // D3DPSHADECAPS_COLORFLATRGB | COLORGOURAUDRGB
  caps->dwTextureCaps =
      D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_TRANSPARENCY;
  caps->dwTextureFilterCaps = 0x1 | 0x2;  // D3DPTFILTERCAPS_NEAREST | LINEAR
  caps->dwTextureBlendCaps = 0x8;         // D3DPTBLENDCAPS_MODULATE
  caps->dwTextureAddressCaps = 0x1 | 0x2 | 0x4;  // WRAP | MIRROR | CLAMP
}

void FillDeviceDesc(D3DDEVICEDESC* desc) {
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(D3DDEVICEDESC);
  desc->dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_TRICAPS | D3DDD_DEVICERENDERBITDEPTH |
                  0x4 /* TRANSFORMCAPS */ | 0x20 /* LINECAPS */ | 0x100 /* ZBUFFERBITDEPTH */;
  desc->dcmColorModel = D3DCOLOR_RGB;
  desc->dwDevCaps = 0x1 | 0x10 | 0x400;  // FLOATTLVERTEX, EXECUTESYSTEMMEMORY, DRAWPRIMTLVERTEX
  desc->dtcTransformCaps = {sizeof(D3DTRANSFORMCAPS), 0x1};  // D3DTRANSFORMCAPS_CLIP
  desc->bClipping = 1;
  desc->dlcLightingCaps = {sizeof(D3DLIGHTINGCAPS), 0, 0, 0};
  FillPrimCaps(&desc->dpcLineCaps);
  FillPrimCaps(&desc->dpcTriCaps);
  desc->dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
  desc->dwDeviceZBufferBitDepth = DDBD_16 | DDBD_24;
  desc->dwMaxVertexCount = 65535;
  desc->dwMinTextureWidth = 1;
  desc->dwMinTextureHeight = 1;
  desc->dwMaxTextureWidth = 4096;
  desc->dwMaxTextureHeight = 4096;
  desc->dwFVFCaps = 1;  // one texture coordinate set
  desc->dwTextureOpCaps = 0x1 | 0x2 | 0x4 | 0x8;  // DISABLE, SELECTARG1, SELECTARG2, MODULATE
  desc->wMaxTextureBlendStages = 2;
  desc->wMaxSimultaneousTextures = 1;
}

void EmptyDeviceDesc(D3DDEVICEDESC* desc) {
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(D3DDEVICEDESC);
}

const std::vector<GlDisplayMode>& DefaultModes() {
  static const std::vector<GlDisplayMode> modes = [] {
    std::vector<GlDisplayMode> list;
    const GlDisplayMode sizes[] = {{640, 480, 0},   {800, 600, 0},   {1024, 768, 0},
                                   {1280, 720, 0},  {1280, 1024, 0}, {1600, 900, 0},
                                   {1920, 1080, 0}};
    for (GlDisplayMode size : sizes) {
      for (uint32_t bits : {16u, 32u}) list.push_back({size.width, size.height, bits});
    }
    return list;
  }();
  return modes;
}

}  // namespace

GlDraw::GlDraw(const GlDriverOptions& options)
    : options_(options), active_(options_.context.get()), mode_(options.desktop) {}

GlDraw::~GlDraw() {
  for (GlSurface* orphan : orphans_) orphan->DeleteOrphan();
  if (MakeCurrent()) DeleteSharedGl(true);
}

void GlDraw::DeleteSharedGl(bool live) {
  for (uint32_t& program : programs_) {
    if (program && live) glDeleteProgram(program);
    program = 0;
  }
  if (live) {
    glDeleteBuffers(1, &vertexBuffer_);
    glDeleteVertexArrays(1, &vertexArray_);
    glDeleteSamplers(1, &sampler_);
  }
  vertexBuffer_ = vertexArray_ = sampler_ = 0;
}

// GL objects cannot be shared between an EGL and a window-system context, so a move
// copies: pixels are read in the old context and written again in the new one. It happens
// once, when the display is built, before the first frame.
bool GlDraw::MoveTo(GlContext* next) {
  if (next == active_) return true;
  FlushAll();
  // An old context that can no longer be made current keeps its objects (and their pixels);
  // the names are forgotten all the same, so that the new context makes its own.
  const bool live = MakeCurrent();
  std::vector<GlPixelStore> pixels;
  for (GlSurface* surface : surfaces_) pixels.push_back(surface->DropGl(live));
  DeleteSharedGl(live);
  active_ = next;
  bool ok = InitGl();
  for (size_t i = 0; i < surfaces_.size(); ++i) {
    if (!surfaces_[i]->RemakeGl(pixels[i])) ok = false;
  }
  return ok;
}

GlContext* GlDraw::ContextFor(const GUID& deviceGuid) {
  if (!(deviceGuid == IID_IDirect3DHALDevice) || !options_.hardwareContext) {
    return options_.context.get();
  }
  if (!hardware_) {
    if (IsNone(window_)) return nullptr;
    hardware_ = options_.hardwareContext(window_);
    if (!hardware_) return nullptr;
    hardware_->SetWindow(window_);
  }
  return hardware_.get();
}

uint32_t GlDraw::Program(int32_t mode, bool flat, bool affine) {
  const size_t index = static_cast<size_t>(mode) * 4 + (flat ? 2 : 0) + (affine ? 1 : 0);
  if (index >= programs_.size()) return 0;
  if (programs_[index]) return programs_[index];
  const std::string header = std::string("#version 330 core\n#define MODE ") +
                             std::to_string(mode) + "\n#define COLOUR_QUALIFIER " +
                             (flat ? "flat" : affine ? "noperspective" : "smooth") +
                             "\n#define UV_QUALIFIER " +
                             (affine ? "noperspective" : "smooth") + "\n";
  const GLuint program = BuildGlProgram(header.c_str(), vertexShader, fragmentShader);
  if (!program) return 0;
  glUseProgram(program);
  glUniform1i(glGetUniformLocation(program, "image"), 0);
  programs_[index] = program;
  return program;
}

bool GlDraw::InitGl() {
  if (!MakeCurrent()) return false;
  // The plainest and the most used variants, so that a driver that cannot build them
  // fails at creation rather than at the first frame.
  if (!Program(0, false, false) || !Program(1, false, false)) return false;
  glGenVertexArrays(1, &vertexArray_);
  glGenBuffers(1, &vertexBuffer_);
  glBindVertexArray(vertexArray_);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(GlVertex),
                        reinterpret_cast<void*>(offsetof(GlVertex, x)));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(GlVertex),
                        reinterpret_cast<void*>(offsetof(GlVertex, r)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(GlVertex),
                        reinterpret_cast<void*>(offsetof(GlVertex, u)));
  glGenSamplers(1, &sampler_);
  // Direct3D takes the colour of a flat-shaded triangle from its first vertex.
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  return glGetError() == GL_NO_ERROR;
}

int32_t GlDraw::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirectDraw || iid == IID_IDirectDraw4) {
    *out = static_cast<DirectDraw*>(this);
  } else if (iid == IID_IDirect3D3) {
    *out = static_cast<Direct3D*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

int32_t GlDraw::GetCaps(DDCAPS* hardware, DDCAPS* emulation) {
  if (!hardware && !emulation) return DDERR_INVALIDPARAMS;
  for (DDCAPS* caps : {hardware, emulation}) {
    if (!caps) continue;
    std::memset(caps, 0, sizeof(*caps));
    caps->dwSize = sizeof(DDCAPS);
    caps->dwCaps = 0x1 | 0x40 | 0x200;  // DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTSTRETCH
    caps->dwZBufferBitDepths = DDBD_16 | DDBD_24;
    caps->dwVidMemTotal = 256u << 20;
    caps->dwVidMemFree = 256u << 20;
  }
  return DD_OK;
}

std::vector<GlDisplayMode> GlDraw::Modes() const {
  return options_.modes.empty() ? DefaultModes() : options_.modes;
}

int32_t GlDraw::EnumDisplayModes(uint32_t flags, const DDSURFACEDESC2*, void* context,
                                 DDENUMMODESCALLBACK2 callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  for (const GlDisplayMode& mode : Modes()) {
    DDSURFACEDESC2 desc;
    FillModeDesc(mode, (flags & DDEDM_REFRESHRATES) ? 60 : 0, &desc);
    if (callback(&desc, context) == DDENUMRET_CANCEL) break;
  }
  return DD_OK;
}

int32_t GlDraw::SetCooperativeLevel(Window window, uint32_t flags) {
  const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
  const bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
  const bool normal = (flags & DDSCL_NORMAL) != 0;
  if (exclusive != fullScreen || (normal && exclusive) || (!normal && !exclusive)) {
    return DDERR_INVALIDPARAMS;
  }
  if (exclusive && IsNone(window)) return DDERR_INVALIDPARAMS;
  window_ = window;
  cooperativeFlags_ = flags;
  if (normal) mode_ = options_.desktop;  // leaving the exclusive display gives the mode back
  options_.context->SetWindow(exclusive ? window : NoWindow);
  if (hardware_) hardware_->SetWindow(exclusive ? window : NoWindow);
  return DD_OK;
}

int32_t GlDraw::SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t,
                               uint32_t) {
  if ((cooperativeFlags_ & DDSCL_EXCLUSIVE) == 0) return DDERR_NOEXCLUSIVEMODE;
  if (width == 0 || height == 0 || width > 8192 || height > 8192) return DDERR_INVALIDMODE;
  if (bitsPerPixel != 16 && bitsPerPixel != 32) return DDERR_UNSUPPORTEDMODE;
  const bool changed = mode_.width != width || mode_.height != height ||
                       mode_.bitsPerPixel != bitsPerPixel;
  mode_ = {width, height, bitsPerPixel};
  if (changed) {
    for (GlSurface* surface : surfaces_) {
      if (surface->kind() == GlSurfaceKind::Primary ||
          surface->kind() == GlSurfaceKind::BackBuffer) {
        surface->MarkLost();
      }
    }
  }
  return DD_OK;
}

int32_t GlDraw::GetDisplayMode(DDSURFACEDESC2* desc) {
  if (!desc) return DDERR_INVALIDPARAMS;
  FillModeDesc(mode_, 60, desc);
  return DD_OK;
}

int32_t GlDraw::CreateSurface(const DDSURFACEDESC2* desc, DrawSurface** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2) || (desc->dwFlags & DDSD_CAPS) == 0) {
    return DDERR_INVALIDPARAMS;
  }
  const uint32_t caps = desc->ddsCaps.dwCaps;
  const bool hasSize = (desc->dwFlags & DDSD_WIDTH) && (desc->dwFlags & DDSD_HEIGHT);
  const bool hasFormat = (desc->dwFlags & DDSD_PIXELFORMAT) != 0;
  const uint32_t stage = (desc->dwFlags & DDSD_TEXTURESTAGE) ? desc->dwTextureStage : 0;

  if (caps & DDSCAPS_PRIMARYSURFACE) {
    const bool chain = (caps & DDSCAPS_FLIP) != 0;
    if (chain) {
      if ((caps & DDSCAPS_COMPLEX) == 0 || (desc->dwFlags & DDSD_BACKBUFFERCOUNT) == 0 ||
          desc->dwBackBufferCount != 1) {
        return DDERR_INVALIDPARAMS;
      }
      if ((cooperativeFlags_ & DDSCL_EXCLUSIVE) == 0) return DDERR_NOEXCLUSIVEMODE;
    }
    const DDPIXELFORMAT format = ModeFormat(mode_.bitsPerPixel);
    Ref<GlSurface> front = Ref<GlSurface>::Adopt(new GlSurface(
        this, GlSurfaceKind::Primary, mode_.width, mode_.height, format,
        caps | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE | DDSCAPS_VIDEOMEMORY, 0));
    if (!front->InitGl()) return DDERR_OUTOFVIDEOMEMORY;
    if (chain) {
      Ref<GlSurface> back = Ref<GlSurface>::Adopt(new GlSurface(
          this, GlSurfaceKind::BackBuffer, mode_.width, mode_.height, format,
          (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) | DDSCAPS_BACKBUFFER |
              DDSCAPS_VIDEOMEMORY,
          0));
      if (!back->InitGl()) return DDERR_OUTOFVIDEOMEMORY;
      front->AttachBack(back.Detach());
    }
    *out = static_cast<DrawSurface*>(front.Detach());
    return DD_OK;
  }

  if (!hasSize || desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > 8192 ||
      desc->dwHeight > 8192) {
    return DDERR_INVALIDPARAMS;
  }
  DDPIXELFORMAT format = hasFormat ? desc->ddpfPixelFormat : ModeFormat(mode_.bitsPerPixel);
  GlSurfaceKind kind;
  if (caps & DDSCAPS_SYSTEMMEMORY) {
    kind = GlSurfaceKind::System;
    if ((format.dwFlags & DDPF_RGB) == 0 || (format.dwFlags & DDPF_FOURCC) != 0 ||
        GlBytesPerPixel(format) == 0) {
      return DDERR_INVALIDPIXELFORMAT;
    }
  } else if (caps & DDSCAPS_TEXTURE) {
    kind = GlSurfaceKind::Texture;
    if (!GlLayoutFor(format, nullptr)) return DDERR_INVALIDPIXELFORMAT;
    if (desc->dwWidth > 4096 || desc->dwHeight > 4096) return DDERR_INVALIDPARAMS;
  } else if (caps & (DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN)) {
    kind = GlSurfaceKind::Target;
    // Render targets are what display modes are made of: 5-6-5 or 32-bit RGB.
    const DDPIXELFORMAT rgb565 = GlFormatRgb565();
    const bool is565 = format.dwRGBBitCount == 16 && format.dwRBitMask == rgb565.dwRBitMask &&
                       format.dwGBitMask == rgb565.dwGBitMask &&
                       format.dwBBitMask == rgb565.dwBBitMask;
    if (!GlLayoutFor(format, nullptr) || (!is565 && format.dwRGBBitCount != 32)) {
      return DDERR_INVALIDPIXELFORMAT;
    }
  } else {
    return DDERR_INVALIDCAPS;
  }
  format.dwSize = sizeof(DDPIXELFORMAT);
  Ref<GlSurface> surface = Ref<GlSurface>::Adopt(
      new GlSurface(this, kind, desc->dwWidth, desc->dwHeight, format, caps, stage));
  if (!surface->InitGl()) {
    return kind == GlSurfaceKind::System ? DDERR_OUTOFMEMORY : DDERR_OUTOFVIDEOMEMORY;
  }
  *out = static_cast<DrawSurface*>(surface.Detach());
  return DD_OK;
}

int32_t GlDraw::CreatePalette(uint32_t flags, const PALETTEENTRY* entries, DrawPalette** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!entries || (flags & DDPCAPS_8BIT) == 0) return DDERR_INVALIDPARAMS;
  *out = new GlPalette(entries);
  return DD_OK;
}

int32_t GlDraw::TestCooperativeLevel() {
  if (displayLost_) return DDERR_NOEXCLUSIVEMODE;
  return DD_OK;
}

int32_t GlDraw::FlipToGDISurface() {
  for (GlSurface* surface : surfaces_) {
    if (surface->kind() == GlSurfaceKind::Primary) return DD_OK;
  }
  return DDERR_NOTFOUND;
}

void GlDraw::SetDisplayLost(bool lost) {
  displayLost_ = lost;
  if (!lost) return;
  for (GlSurface* surface : surfaces_) {
    if (surface->onGpu() && surface->kind() != GlSurfaceKind::Target) surface->MarkLost();
  }
}

void GlDraw::FlushAll() {
  for (GlDevice* device : devices_) device->Flush();
}

void GlDraw::RemoveDevice(GlDevice* device) {
  devices_.erase(std::remove(devices_.begin(), devices_.end(), device), devices_.end());
}

void GlDraw::RemoveSurface(GlSurface* surface) {
  surfaces_.erase(std::remove(surfaces_.begin(), surfaces_.end(), surface), surfaces_.end());
}

void GlDraw::RemoveOrphan(GlSurface* surface) {
  orphans_.erase(std::remove(orphans_.begin(), orphans_.end(), surface), orphans_.end());
}

bool GlDraw::KnowsDevice(const GUID& guid) const {
  return guid == IID_IDirect3DRGBDevice ||
         (options_.hardwareDevice && guid == IID_IDirect3DHALDevice);
}

void GlDraw::DeviceDescriptions(const GUID& guid, D3DDEVICEDESC* hardware,
                                D3DDEVICEDESC* emulation) const {
  const bool isHardware = guid == IID_IDirect3DHALDevice;
  if (hardware) isHardware ? FillDeviceDesc(hardware) : EmptyDeviceDesc(hardware);
  if (emulation) isHardware ? EmptyDeviceDesc(emulation) : FillDeviceDesc(emulation);
}

int32_t GlDraw::EnumDevices(D3DENUMDEVICESCALLBACK callback, void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  struct Entry {
    GUID guid;
    const char* description;
    const char* name;
  };
  std::vector<Entry> entries = {
      {IID_IDirect3DRGBDevice, "Software rasterizer over OpenGL", glSoftwareDeviceName}};
  if (options_.hardwareDevice) {
    entries.push_back({IID_IDirect3DHALDevice, "Hardware acceleration over OpenGL",
                       glHardwareDeviceName});
  }
  for (const Entry& entry : entries) {
    D3DDEVICEDESC hardware;
    D3DDEVICEDESC emulation;
    DeviceDescriptions(entry.guid, &hardware, &emulation);
    GUID guid = entry.guid;
    if (callback(&guid, entry.description, entry.name, &hardware, &emulation, context) ==
        D3DENUMRET_CANCEL) {
      break;
    }
  }
  return DD_OK;
}

int32_t GlDraw::FindDevice(const GUID& deviceGuid) {
  return KnowsDevice(deviceGuid) ? DD_OK : DDERR_NOTFOUND;
}

int32_t GlDraw::EnumZBufferFormats(const GUID& deviceGuid, D3DENUMPIXELFORMATSCALLBACK callback,
                                   void* context) {
  if (!callback || !KnowsDevice(deviceGuid)) return DDERR_INVALIDPARAMS;
  for (DDPIXELFORMAT format : {GlFormatZBuffer(16, 0), GlFormatZBuffer(32, 8)}) {
    if (callback(&format, context) == D3DENUMRET_CANCEL) break;
  }
  return DD_OK;
}

int32_t GlDraw::CreateDevice(const GUID& deviceGuid, DrawSurface* target, Device3D** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!KnowsDevice(deviceGuid)) return D3DERR_INVALID_DEVICE;
  auto* surface = dynamic_cast<GlSurface*>(target);
  if (!surface || surface->draw() != this || !surface->onGpu()) return DDERR_INVALIDPARAMS;
  // The hardware device draws in the window's own context: the driver moves there with
  // everything it has made, which only works while no device draws in the other one.
  GlContext* wanted = ContextFor(deviceGuid);
  if (!wanted) return D3DERR_INITFAILED;
  if (wanted != active_) {
    if (!devices_.empty()) return D3DERR_INITFAILED;
    if (!MoveTo(wanted)) return D3DERR_INITFAILED;
  }
  *out = new GlDevice(this, surface, deviceGuid);
  return DD_OK;
}

int32_t GlDraw::CreateViewport(Viewport3D** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = new GlViewport(this);
  return DD_OK;
}

// ---- Public entry points

int32_t CreateGlDirectDraw(const GlDriverOptions& options, DirectDraw** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!options.context) return DDERR_INVALIDPARAMS;
  Ref<GlDraw> draw = Ref<GlDraw>::Adopt(new GlDraw(options));
  if (!draw->InitGl()) return DDERR_NODIRECTDRAWHW;
  *out = static_cast<DirectDraw*>(draw.Detach());
  return DD_OK;
}

GlDriverStats GetGlDriverStats(DirectDraw* directDraw) {
  auto* draw = dynamic_cast<GlDraw*>(directDraw);
  return draw ? draw->stats() : GlDriverStats{};
}

void ResetGlDriverStats(DirectDraw* directDraw) {
  if (auto* draw = dynamic_cast<GlDraw*>(directDraw)) draw->stats() = {};
}

void WaitForGlDriver(DirectDraw* directDraw) {
  auto* draw = dynamic_cast<GlDraw*>(directDraw);
  if (!draw) return;
  draw->FlushAll();
  if (draw->MakeCurrent()) glFinish();
}

void SetGlDisplayLost(DirectDraw* directDraw, bool lost) {
  if (auto* draw = dynamic_cast<GlDraw*>(directDraw)) draw->SetDisplayLost(lost);
}

int32_t ReadSurfaceRgb8(DrawSurface* surface, std::vector<uint8_t>* rgb, uint32_t* width,
                        uint32_t* height) {
  if (!surface || !rgb || !width || !height) return DDERR_INVALIDPARAMS;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  int32_t result = surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY);
  if (Failed(result)) return result;
  const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
  const uint32_t bytes = GlBytesPerPixel(format);
  *width = desc.dwWidth;
  *height = desc.dwHeight;
  rgb->assign(static_cast<size_t>(desc.dwWidth) * desc.dwHeight * 3, 0);
  const auto* base = static_cast<const uint8_t*>(desc.lpSurface);
  for (uint32_t y = 0; y < desc.dwHeight && bytes; ++y) {
    const uint8_t* row = base + static_cast<size_t>(y) * desc.lPitch;
    for (uint32_t x = 0; x < desc.dwWidth; ++x) {
      uint32_t pixel = 0;
      std::memcpy(&pixel, row + x * bytes, bytes);
      const uint32_t c = GlUnpackRgb(format, pixel);
      uint8_t* o = rgb->data() + (static_cast<size_t>(y) * desc.dwWidth + x) * 3;
      o[0] = static_cast<uint8_t>(c >> 16);
      o[1] = static_cast<uint8_t>(c >> 8);
      o[2] = static_cast<uint8_t>(c);
    }
  }
  surface->Unlock(nullptr);
  return DD_OK;
}

}  // namespace nb
