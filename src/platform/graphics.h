// The graphics ports: DirectDraw of DirectX 6 (driver enumeration, display modes, the
// flip chain, surfaces, palettes) and Direct3D immediate mode (devices, viewports,
// textures, states and strided triangle fans), in the shape of IDirectDraw4,
// IDirectDrawSurface4, IDirect3D3, IDirect3DDevice3, IDirect3DViewport3 and
// IDirect3DTexture2, so that the Win32 adapter only forwards and the OpenGL device and the
// fakes behave as the platform does.
// Records keep the platform's layout and flag values (the sizes the system writes into
// dwSize are the platform's: DDSURFACEDESC2 124, DDPIXELFORMAT 32, DDCAPS 380,
// D3DDEVICEDESC 252, D3DVIEWPORT2 44 on 32-bit Windows; write sizeof(...) so that 64-bit
// builds get the platform's 64-bit sizes).
// Depends on result.h, guid.h, ref.h, handles.h. No platform headers (see result.h).
#pragma once

#include <cstdint>

#include "platform/guid.h"
#include "platform/handles.h"
#include "platform/ref.h"
#include "platform/result.h"

namespace nb {

// ---- DirectDraw constants

inline constexpr uint32_t DDENUM_ATTACHEDSECONDARYDEVICES = 0x00000001;
inline constexpr uint32_t DDENUM_DETACHEDSECONDARYDEVICES = 0x00000002;
inline constexpr uint32_t DDENUM_NONDISPLAYDEVICES = 0x00000004;
inline constexpr int32_t DDENUMRET_CANCEL = 0;
inline constexpr int32_t DDENUMRET_OK = 1;
inline constexpr int32_t D3DENUMRET_CANCEL = 0;
inline constexpr int32_t D3DENUMRET_OK = 1;

inline constexpr uint32_t DDSCL_FULLSCREEN = 0x00000001;
inline constexpr uint32_t DDSCL_ALLOWREBOOT = 0x00000002;
inline constexpr uint32_t DDSCL_NOWINDOWCHANGES = 0x00000004;
inline constexpr uint32_t DDSCL_NORMAL = 0x00000008;
inline constexpr uint32_t DDSCL_EXCLUSIVE = 0x00000010;
inline constexpr uint32_t DDSCL_ALLOWMODEX = 0x00000040;
inline constexpr uint32_t DDSCL_MULTITHREADED = 0x00000400;
inline constexpr uint32_t DDSCL_FPUSETUP = 0x00000800;

inline constexpr uint32_t DDSD_CAPS = 0x00000001;
inline constexpr uint32_t DDSD_HEIGHT = 0x00000002;
inline constexpr uint32_t DDSD_WIDTH = 0x00000004;
inline constexpr uint32_t DDSD_PITCH = 0x00000008;
inline constexpr uint32_t DDSD_BACKBUFFERCOUNT = 0x00000020;
inline constexpr uint32_t DDSD_ZBUFFERBITDEPTH = 0x00000040;
inline constexpr uint32_t DDSD_ALPHABITDEPTH = 0x00000080;
inline constexpr uint32_t DDSD_LPSURFACE = 0x00000800;
inline constexpr uint32_t DDSD_PIXELFORMAT = 0x00001000;
inline constexpr uint32_t DDSD_MIPMAPCOUNT = 0x00020000;
inline constexpr uint32_t DDSD_REFRESHRATE = 0x00040000;
inline constexpr uint32_t DDSD_LINEARSIZE = 0x00080000;
inline constexpr uint32_t DDSD_TEXTURESTAGE = 0x00100000;

inline constexpr uint32_t DDSCAPS_ALPHA = 0x00000002;
inline constexpr uint32_t DDSCAPS_BACKBUFFER = 0x00000004;
inline constexpr uint32_t DDSCAPS_COMPLEX = 0x00000008;
inline constexpr uint32_t DDSCAPS_FLIP = 0x00000010;
inline constexpr uint32_t DDSCAPS_FRONTBUFFER = 0x00000020;
inline constexpr uint32_t DDSCAPS_OFFSCREENPLAIN = 0x00000040;
inline constexpr uint32_t DDSCAPS_PALETTE = 0x00000100;
inline constexpr uint32_t DDSCAPS_PRIMARYSURFACE = 0x00000200;
inline constexpr uint32_t DDSCAPS_SYSTEMMEMORY = 0x00000800;
inline constexpr uint32_t DDSCAPS_TEXTURE = 0x00001000;
inline constexpr uint32_t DDSCAPS_3DDEVICE = 0x00002000;
inline constexpr uint32_t DDSCAPS_VIDEOMEMORY = 0x00004000;
inline constexpr uint32_t DDSCAPS_VISIBLE = 0x00008000;
inline constexpr uint32_t DDSCAPS_ZBUFFER = 0x00020000;
inline constexpr uint32_t DDSCAPS_MIPMAP = 0x00400000;
inline constexpr uint32_t DDSCAPS2_TEXTUREMANAGE = 0x00000010;

inline constexpr uint32_t DDPF_ALPHAPIXELS = 0x00000001;
inline constexpr uint32_t DDPF_ALPHA = 0x00000002;
inline constexpr uint32_t DDPF_FOURCC = 0x00000004;
inline constexpr uint32_t DDPF_PALETTEINDEXED4 = 0x00000008;
inline constexpr uint32_t DDPF_PALETTEINDEXEDTO8 = 0x00000010;
inline constexpr uint32_t DDPF_PALETTEINDEXED8 = 0x00000020;
inline constexpr uint32_t DDPF_RGB = 0x00000040;
inline constexpr uint32_t DDPF_ZBUFFER = 0x00000400;
inline constexpr uint32_t DDPF_PALETTEINDEXED1 = 0x00000800;
inline constexpr uint32_t DDPF_PALETTEINDEXED2 = 0x00001000;
inline constexpr uint32_t DDPF_STENCILBUFFER = 0x00004000;
inline constexpr uint32_t DDPF_LUMINANCE = 0x00020000;
inline constexpr uint32_t DDPF_BUMPLUMINANCE = 0x00040000;
inline constexpr uint32_t DDPF_BUMPDUDV = 0x00080000;

inline constexpr uint32_t DDBD_1 = 0x00004000;
inline constexpr uint32_t DDBD_2 = 0x00002000;
inline constexpr uint32_t DDBD_4 = 0x00001000;
inline constexpr uint32_t DDBD_8 = 0x00000800;
inline constexpr uint32_t DDBD_16 = 0x00000400;
inline constexpr uint32_t DDBD_24 = 0x00000200;
inline constexpr uint32_t DDBD_32 = 0x00000100;

inline constexpr uint32_t DDFLIP_WAIT = 0x00000001;
inline constexpr uint32_t DDBLT_WAIT = 0x01000000;
inline constexpr uint32_t DDLOCK_WAIT = 0x00000001;
inline constexpr uint32_t DDLOCK_READONLY = 0x00000010;
inline constexpr uint32_t DDLOCK_WRITEONLY = 0x00000020;
inline constexpr uint32_t DDEDM_REFRESHRATES = 0x00000001;
inline constexpr uint32_t DDPCAPS_8BIT = 0x00000004;
inline constexpr uint32_t DDPCAPS_ALLOW256 = 0x00000040;

// ---- Direct3D constants

inline constexpr uint32_t D3DCOLOR_MONO = 1;  // D3DCOLORMODEL bits
inline constexpr uint32_t D3DCOLOR_RGB = 2;

inline constexpr uint32_t D3DDD_COLORMODEL = 0x00000001;  // D3DDEVICEDESC dwFlags bits
inline constexpr uint32_t D3DDD_DEVCAPS = 0x00000002;
inline constexpr uint32_t D3DDD_TRICAPS = 0x00000040;
inline constexpr uint32_t D3DDD_DEVICERENDERBITDEPTH = 0x00000080;

inline constexpr uint32_t D3DPBLENDCAPS_ZERO = 0x00000001;
inline constexpr uint32_t D3DPBLENDCAPS_ONE = 0x00000002;
inline constexpr uint32_t D3DPBLENDCAPS_SRCCOLOR = 0x00000004;
inline constexpr uint32_t D3DPBLENDCAPS_SRCALPHA = 0x00000010;
inline constexpr uint32_t D3DPBLENDCAPS_INVSRCALPHA = 0x00000020;
inline constexpr uint32_t D3DPTEXTURECAPS_PERSPECTIVE = 0x00000001;
inline constexpr uint32_t D3DPTEXTURECAPS_POW2 = 0x00000002;
inline constexpr uint32_t D3DPTEXTURECAPS_ALPHA = 0x00000004;
inline constexpr uint32_t D3DPTEXTURECAPS_TRANSPARENCY = 0x00000008;
inline constexpr uint32_t D3DPTEXTURECAPS_SQUAREONLY = 0x00000020;

inline constexpr uint32_t D3DTRANSFORMSTATE_WORLD = 1;
inline constexpr uint32_t D3DTRANSFORMSTATE_VIEW = 2;
inline constexpr uint32_t D3DTRANSFORMSTATE_PROJECTION = 3;

inline constexpr uint32_t D3DRENDERSTATE_TEXTUREADDRESS = 3;
inline constexpr uint32_t D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4;
inline constexpr uint32_t D3DRENDERSTATE_ZENABLE = 7;
inline constexpr uint32_t D3DRENDERSTATE_FILLMODE = 8;
inline constexpr uint32_t D3DRENDERSTATE_SHADEMODE = 9;
inline constexpr uint32_t D3DRENDERSTATE_ZWRITEENABLE = 14;
inline constexpr uint32_t D3DRENDERSTATE_SRCBLEND = 19;
inline constexpr uint32_t D3DRENDERSTATE_DESTBLEND = 20;
inline constexpr uint32_t D3DRENDERSTATE_CULLMODE = 22;
inline constexpr uint32_t D3DRENDERSTATE_DITHERENABLE = 26;
inline constexpr uint32_t D3DRENDERSTATE_ALPHABLENDENABLE = 27;
inline constexpr uint32_t D3DRENDERSTATE_FOGENABLE = 28;
inline constexpr uint32_t D3DRENDERSTATE_SPECULARENABLE = 29;
inline constexpr uint32_t D3DRENDERSTATE_LIGHTING = 137;

inline constexpr uint32_t D3DTSS_COLOROP = 1;
inline constexpr uint32_t D3DTSS_COLORARG1 = 2;
inline constexpr uint32_t D3DTSS_COLORARG2 = 3;
inline constexpr uint32_t D3DTSS_ALPHAOP = 4;
inline constexpr uint32_t D3DTSS_ALPHAARG1 = 5;
inline constexpr uint32_t D3DTSS_ALPHAARG2 = 6;
inline constexpr uint32_t D3DTSS_ADDRESS = 12;
inline constexpr uint32_t D3DTSS_MAGFILTER = 16;
inline constexpr uint32_t D3DTSS_MINFILTER = 17;
inline constexpr uint32_t D3DTSS_MIPFILTER = 18;

inline constexpr uint32_t D3DTOP_DISABLE = 1;
inline constexpr uint32_t D3DTOP_SELECTARG1 = 2;
inline constexpr uint32_t D3DTOP_SELECTARG2 = 3;
inline constexpr uint32_t D3DTOP_MODULATE = 4;
inline constexpr uint32_t D3DTA_DIFFUSE = 0;
inline constexpr uint32_t D3DTA_CURRENT = 1;
inline constexpr uint32_t D3DTA_TEXTURE = 2;

inline constexpr uint32_t D3DBLEND_ZERO = 1;
inline constexpr uint32_t D3DBLEND_ONE = 2;
inline constexpr uint32_t D3DBLEND_SRCCOLOR = 3;
inline constexpr uint32_t D3DBLEND_INVSRCCOLOR = 4;
inline constexpr uint32_t D3DBLEND_SRCALPHA = 5;
inline constexpr uint32_t D3DBLEND_INVSRCALPHA = 6;

inline constexpr uint32_t D3DTADDRESS_WRAP = 1;
inline constexpr uint32_t D3DTADDRESS_MIRROR = 2;
inline constexpr uint32_t D3DTADDRESS_CLAMP = 3;
inline constexpr uint32_t D3DCULL_NONE = 1;
inline constexpr uint32_t D3DCULL_CW = 2;
inline constexpr uint32_t D3DCULL_CCW = 3;
inline constexpr uint32_t D3DSHADE_FLAT = 1;
inline constexpr uint32_t D3DSHADE_GOURAUD = 2;
inline constexpr uint32_t D3DTFN_POINT = 1;
inline constexpr uint32_t D3DTFN_LINEAR = 2;
inline constexpr uint32_t D3DTFG_POINT = 1;
inline constexpr uint32_t D3DTFG_LINEAR = 2;

inline constexpr uint32_t D3DFVF_XYZ = 0x002;
inline constexpr uint32_t D3DFVF_NORMAL = 0x010;
inline constexpr uint32_t D3DFVF_DIFFUSE = 0x040;
inline constexpr uint32_t D3DFVF_SPECULAR = 0x080;
inline constexpr uint32_t D3DFVF_TEX0 = 0x000;
inline constexpr uint32_t D3DFVF_TEX1 = 0x100;

inline constexpr uint32_t D3DPT_POINTLIST = 1;
inline constexpr uint32_t D3DPT_LINELIST = 2;
inline constexpr uint32_t D3DPT_LINESTRIP = 3;
inline constexpr uint32_t D3DPT_TRIANGLELIST = 4;
inline constexpr uint32_t D3DPT_TRIANGLESTRIP = 5;
inline constexpr uint32_t D3DPT_TRIANGLEFAN = 6;

inline constexpr uint32_t D3DCLEAR_TARGET = 0x00000001;
inline constexpr uint32_t D3DCLEAR_ZBUFFER = 0x00000002;
inline constexpr uint32_t D3DCLEAR_STENCIL = 0x00000004;

// 0x00RRGGBB with alpha in the top byte, as the device takes vertex colours.
using D3DCOLOR = uint32_t;

// ---- Records

struct DDCOLORKEY {
  uint32_t dwColorSpaceLowValue;
  uint32_t dwColorSpaceHighValue;
};

struct DDSCAPS2 {
  uint32_t dwCaps;
  uint32_t dwCaps2;
  uint32_t dwCaps3;
  uint32_t dwCaps4;
};

struct DDPIXELFORMAT {
  uint32_t dwSize;
  uint32_t dwFlags;
  uint32_t dwFourCC;
  union {
    uint32_t dwRGBBitCount;
    uint32_t dwZBufferBitDepth;
    uint32_t dwAlphaBitDepth;
  };
  union {
    uint32_t dwRBitMask;
    uint32_t dwStencilBitDepth;
  };
  union {
    uint32_t dwGBitMask;
    uint32_t dwZBitMask;
  };
  union {
    uint32_t dwBBitMask;
    uint32_t dwStencilBitMask;
  };
  union {
    uint32_t dwRGBAlphaBitMask;
    uint32_t dwRGBZBitMask;
  };
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

struct DDSURFACEDESC2 {
  uint32_t dwSize;
  uint32_t dwFlags;
  uint32_t dwHeight;
  uint32_t dwWidth;
  union {
    int32_t lPitch;  // bytes from one row to the next, filled by Lock and GetSurfaceDesc
    uint32_t dwLinearSize;
  };
  union {
    uint32_t dwBackBufferCount;
    uint32_t dwDepth;
  };
  union {
    uint32_t dwMipMapCount;
    uint32_t dwRefreshRate;
  };
  uint32_t dwAlphaBitDepth;
  uint32_t dwReserved;
  void* lpSurface;  // first pixel while locked
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS2 ddsCaps;
  uint32_t dwTextureStage;
};
static_assert(sizeof(void*) != 4 || sizeof(DDSURFACEDESC2) == 124);

// Driver capabilities. The system reads none of the fields beyond dwSize; the first ones
// are kept by name for adapters and fakes, the rest of the 380 bytes is opaque.
struct DDCAPS {
  uint32_t dwSize;
  uint32_t dwCaps;
  uint32_t dwCaps2;
  uint32_t dwCKeyCaps;
  uint32_t dwFXCaps;
  uint32_t dwFXAlphaCaps;
  uint32_t dwPalCaps;
  uint32_t dwSVCaps;
  uint32_t dwAlphaBltConstBitDepths;
  uint32_t dwAlphaBltPixelBitDepths;
  uint32_t dwAlphaBltSurfaceBitDepths;
  uint32_t dwAlphaOverlayConstBitDepths;
  uint32_t dwAlphaOverlayPixelBitDepths;
  uint32_t dwAlphaOverlaySurfaceBitDepths;
  uint32_t dwZBufferBitDepths;
  uint32_t dwVidMemTotal;
  uint32_t dwVidMemFree;
  uint8_t rest[380 - 17 * 4];
};
static_assert(sizeof(DDCAPS) == 380);

struct D3DTRANSFORMCAPS {
  uint32_t dwSize;
  uint32_t dwCaps;
};

struct D3DLIGHTINGCAPS {
  uint32_t dwSize;
  uint32_t dwCaps;
  uint32_t dwLightingModel;
  uint32_t dwNumLights;
};

struct D3DPRIMCAPS {
  uint32_t dwSize;
  uint32_t dwMiscCaps;
  uint32_t dwRasterCaps;
  uint32_t dwZCmpCaps;
  uint32_t dwSrcBlendCaps;
  uint32_t dwDestBlendCaps;  // D3DPBLENDCAPS_* bits
  uint32_t dwAlphaCmpCaps;
  uint32_t dwShadeCaps;
  uint32_t dwTextureCaps;  // D3DPTEXTURECAPS_* bits
  uint32_t dwTextureFilterCaps;
  uint32_t dwTextureBlendCaps;
  uint32_t dwTextureAddressCaps;
  uint32_t dwStippleWidth;
  uint32_t dwStippleHeight;
};
static_assert(sizeof(D3DPRIMCAPS) == 56);

// A device description. dwFlags non-zero in the hardware description marks a hardware
// device; dcmColorModel holds D3DCOLOR_* bits; dwDeviceRenderBitDepth DDBD_* bits.
struct D3DDEVICEDESC {
  uint32_t dwSize;
  uint32_t dwFlags;
  uint32_t dcmColorModel;
  uint32_t dwDevCaps;
  D3DTRANSFORMCAPS dtcTransformCaps;
  int32_t bClipping;
  D3DLIGHTINGCAPS dlcLightingCaps;
  D3DPRIMCAPS dpcLineCaps;
  D3DPRIMCAPS dpcTriCaps;
  uint32_t dwDeviceRenderBitDepth;
  uint32_t dwDeviceZBufferBitDepth;
  uint32_t dwMaxBufferSize;
  uint32_t dwMaxVertexCount;
  uint32_t dwMinTextureWidth, dwMinTextureHeight;
  uint32_t dwMaxTextureWidth, dwMaxTextureHeight;
  uint32_t dwMinStippleWidth, dwMaxStippleWidth;
  uint32_t dwMinStippleHeight, dwMaxStippleHeight;
  uint32_t dwMaxTextureRepeat;
  uint32_t dwMaxTextureAspectRatio;
  uint32_t dwMaxAnisotropy;
  float dvGuardBandLeft;
  float dvGuardBandTop;
  float dvGuardBandRight;
  float dvGuardBandBottom;
  float dvExtentsAdjust;
  uint32_t dwStencilCaps;
  uint32_t dwFVFCaps;
  uint32_t dwTextureOpCaps;
  uint16_t wMaxTextureBlendStages;
  uint16_t wMaxSimultaneousTextures;
};
static_assert(sizeof(D3DDEVICEDESC) == 252);

struct D3DVIEWPORT2 {
  uint32_t dwSize;
  uint32_t dwX;
  uint32_t dwY;
  uint32_t dwWidth;
  uint32_t dwHeight;
  float dvClipX;
  float dvClipY;
  float dvClipWidth;
  float dvClipHeight;
  float dvMinZ;
  float dvMaxZ;
};
static_assert(sizeof(D3DVIEWPORT2) == 44);

// Row-vector layout: a point is the row (x, y, z, 1) multiplied on the left; the
// translation is in _41, _42, _43.
struct D3DMATRIX {
  float _11, _12, _13, _14;
  float _21, _22, _23, _24;
  float _31, _32, _33, _34;
  float _41, _42, _43, _44;
};

struct D3DRECT {
  int32_t x1;
  int32_t y1;
  int32_t x2;
  int32_t y2;
};

struct PALETTEENTRY {
  uint8_t peRed;
  uint8_t peGreen;
  uint8_t peBlue;
  uint8_t peFlags;
};

struct D3DDP_PTRSTRIDE {
  const void* lpvData;
  uint32_t dwStride;  // bytes from one vertex's element to the next one's
};

inline constexpr uint32_t D3DDP_MAXTEXCOORD = 8;

struct D3DDRAWPRIMITIVESTRIDEDDATA {
  D3DDP_PTRSTRIDE position;  // three floats x, y, z
  D3DDP_PTRSTRIDE normal;
  D3DDP_PTRSTRIDE diffuse;  // one D3DCOLOR
  D3DDP_PTRSTRIDE specular;
  D3DDP_PTRSTRIDE textureCoords[D3DDP_MAXTEXCOORD];  // two floats tu, tv per set
};

// ---- Enumeration callbacks: plain functions with a context pointer, as on the platform.

// One DirectDraw driver: guid is null for the primary display driver. Return
// DDENUMRET_OK to go on, DDENUMRET_CANCEL to stop.
using DDENUMCALLBACKEXA = int32_t (*)(const GUID* guid, const char* description,
                                      const char* name, void* context);
// One display mode. Return DDENUMRET_OK or DDENUMRET_CANCEL.
using DDENUMMODESCALLBACK2 = int32_t (*)(const DDSURFACEDESC2* mode, void* context);
// One Direct3D device of a driver with its hardware and emulation descriptions.
// Return D3DENUMRET_OK or D3DENUMRET_CANCEL.
using D3DENUMDEVICESCALLBACK = int32_t (*)(const GUID* guid, const char* description,
                                           const char* name, const D3DDEVICEDESC* hardware,
                                           const D3DDEVICEDESC* emulation, void* context);
// One pixel format (depth-buffer or texture formats). Return D3DENUMRET_OK or
// D3DENUMRET_CANCEL.
using D3DENUMPIXELFORMATSCALLBACK = int32_t (*)(const DDPIXELFORMAT* format, void* context);

// ---- Interfaces

class DirectDraw;

// IDirectDrawPalette: a 256-entry palette attached to 8-bit surfaces.
class DrawPalette : public Unknown {
 public:
  // Copies count entries from start into out. DD_OK, or DDERR_INVALIDPARAMS when the
  // range leaves the palette or out is null.
  virtual int32_t GetEntries(uint32_t start, uint32_t count, PALETTEENTRY* out) = 0;
};

// IDirectDrawSurface4.
class DrawSurface : public Unknown {
 public:
  // Fills *desc (whose dwSize the caller set) with size, pitch, pixel format, caps and
  // texture stage. DD_OK, DDERR_INVALIDPARAMS for a null desc.
  virtual int32_t GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
  // The attached surface with the given caps (the back buffer of a flip chain with
  // DDSCAPS_BACKBUFFER), with one reference added. DD_OK, DDERR_NOTFOUND,
  // DDERR_SURFACELOST.
  virtual int32_t GetAttachedSurface(const DDSCAPS2& caps, DrawSurface** out) = 0;
  // Shows the back buffer of the chain this primary surface heads (target null: the next
  // one). flags DDFLIP_WAIT waits instead of returning DDERR_WASSTILLDRAWING. DD_OK,
  // DDERR_SURFACELOST, DDERR_WASSTILLDRAWING (without DDFLIP_WAIT), DDERR_INVALIDOBJECT
  // (not a flip chain).
  virtual int32_t Flip(DrawSurface* target, uint32_t flags) = 0;
  // DD_OK while the surface memory is valid, DDERR_SURFACELOST after a mode change or
  // loss of the exclusive display.
  virtual int32_t IsLost() = 0;
  // Reallocates lost surface memory (contents undefined). DD_OK,
  // DDERR_WRONGMODE / DDERR_NOEXCLUSIVEMODE when it cannot yet be restored.
  virtual int32_t Restore() = 0;
  // A GDI device context drawing into this surface (for BitBlt of a bitmap into it).
  // DD_OK, DDERR_DCALREADYCREATED, DDERR_CANTCREATEDC, DDERR_SURFACELOST.
  virtual int32_t GetDC(Dc* out) = 0;
  // Gives the context of GetDC back; drawing done through it is then in the surface.
  // DD_OK, DDERR_NODC.
  virtual int32_t ReleaseDC(Dc dc) = 0;
  // Copies src (its srcRect, null = whole) onto this surface (dstRect, null = whole),
  // stretching to fit and converting pixel formats. flags: DDBLT_WAIT. DD_OK,
  // DDERR_INVALIDPARAMS, DDERR_SURFACELOST, DDERR_WASSTILLDRAWING.
  virtual int32_t Blt(const RECT* dstRect, DrawSurface* src, const RECT* srcRect,
                      uint32_t flags) = 0;
  // Maps the surface memory: fills *desc with lpSurface (the first pixel of rect, null =
  // whole surface) and lPitch. DD_OK, DDERR_SURFACEBUSY (already locked),
  // DDERR_SURFACELOST, DDERR_INVALIDPARAMS.
  virtual int32_t Lock(const RECT* rect, DDSURFACEDESC2* desc, uint32_t flags) = 0;
  // Ends a Lock. DD_OK, DDERR_NOTLOCKED.
  virtual int32_t Unlock(const RECT* rect) = 0;
  // The DirectDraw object that made this surface, with one reference added. DD_OK.
  virtual int32_t GetDDInterface(DirectDraw** out) = 0;
  // Attaches a palette (null detaches), adding a reference to it. DD_OK,
  // DDERR_INVALIDPIXELFORMAT for a surface that is not palettized.
  virtual int32_t SetPalette(DrawPalette* palette) = 0;
};

// IDirectDraw4: one DirectDraw driver.
class DirectDraw : public Unknown {
 public:
  // Driver (hardware) and emulation capabilities into records whose dwSize the caller
  // set; either may be null. DD_OK, DDERR_INVALIDPARAMS when both are null.
  virtual int32_t GetCaps(DDCAPS* hardware, DDCAPS* emulation) = 0;
  // Reports each display mode once per width, height and depth (flags 0) or with its
  // refresh rates (DDEDM_REFRESHRATES); filter is unused by the system and may be null.
  // Stops when the callback returns DDENUMRET_CANCEL. DD_OK.
  virtual int32_t EnumDisplayModes(uint32_t flags, const DDSURFACEDESC2* filter, void* context,
                                   DDENUMMODESCALLBACK2 callback) = 0;
  // DDSCL_* flags for window. DD_OK, DDERR_EXCLUSIVEMODEALREADYSET, DDERR_INVALIDPARAMS.
  virtual int32_t SetCooperativeLevel(Window window, uint32_t flags) = 0;
  // Switches the display (needs exclusive full-screen level); refreshRate 0 = default.
  // DD_OK, DDERR_INVALIDMODE, DDERR_UNSUPPORTEDMODE, DDERR_NOEXCLUSIVEMODE.
  virtual int32_t SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                                 uint32_t refreshRate, uint32_t flags) = 0;
  // The current display mode (size, refresh, pixel format). DD_OK.
  virtual int32_t GetDisplayMode(DDSURFACEDESC2* desc) = 0;
  // A surface from the description: a primary flip chain (DDSCAPS_PRIMARYSURFACE |
  // DDSCAPS_FLIP | DDSCAPS_COMPLEX with dwBackBufferCount), a texture, a system-memory
  // staging surface. One reference to it in *out. DD_OK, DDERR_OUTOFVIDEOMEMORY,
  // DDERR_OUTOFMEMORY, DDERR_INVALIDPARAMS, DDERR_INVALIDPIXELFORMAT, DDERR_NOEXCLUSIVEMODE.
  virtual int32_t CreateSurface(const DDSURFACEDESC2* desc, DrawSurface** out) = 0;
  // A palette (DDPCAPS_8BIT | DDPCAPS_ALLOW256) with 256 entries copied from entries.
  // DD_OK, DDERR_INVALIDPARAMS.
  virtual int32_t CreatePalette(uint32_t flags, const PALETTEENTRY* entries,
                                DrawPalette** out) = 0;
  // DD_OK while this program owns the exclusive display; DDERR_NOEXCLUSIVEMODE or
  // DDERR_WRONGMODE while another one does or the mode was changed.
  virtual int32_t TestCooperativeLevel() = 0;
  // Makes the GDI surface visible (for menus and dialogs over the display). DD_OK,
  // DDERR_NOTFOUND when there is no flip chain.
  virtual int32_t FlipToGDISurface() = 0;
};

// IDirect3DTexture2: the texture face of a DDSCAPS_TEXTURE surface, obtained by
// QueryInterface(IID_IDirect3DTexture2) on it and bound with Device3D::SetTexture.
class Texture3D : public Unknown {
 public:
  // The surface this texture belongs to (no reference added): how devices find pixels.
  virtual DrawSurface* GetSurface() = 0;
};

class Device3D;

// IDirect3DViewport3.
class Viewport3D : public Unknown {
 public:
  // Sets the viewport rectangle and clip volume. DD_OK, DDERR_INVALIDPARAMS (dwSize).
  virtual int32_t SetViewport2(const D3DVIEWPORT2& viewport) = 0;
  // Reads it back into *out (caller sets dwSize). DD_OK, D3DERR_VIEWPORTDATANOTSET.
  virtual int32_t GetViewport2(D3DVIEWPORT2* out) = 0;
  // Fills count rectangles of the render target (D3DCLEAR_TARGET) with color, and of the
  // depth or stencil buffer when asked and present. DD_OK, D3DERR_VIEWPORTHASNODEVICE.
  virtual int32_t Clear2(uint32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color,
                         float z, uint32_t stencil) = 0;
};

// IDirect3DDevice3: renders into the surface it was created for.
class Device3D : public Unknown {
 public:
  // Hardware and emulation descriptions (caller sets dwSize 252 on both). DD_OK,
  // DDERR_INVALIDPARAMS.
  virtual int32_t GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) = 0;
  // Reports each texture pixel format in the driver's order until D3DENUMRET_CANCEL.
  // DD_OK.
  virtual int32_t EnumTextureFormats(D3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
  // The render target surface, with one reference added. DD_OK.
  virtual int32_t GetRenderTarget(DrawSurface** out) = 0;
  // Attaches a viewport to the device (the device keeps a reference). DD_OK,
  // DDERR_INVALIDPARAMS.
  virtual int32_t AddViewport(Viewport3D* viewport) = 0;
  // Makes an added viewport the one drawn into. DD_OK, DDERR_INVALIDPARAMS.
  virtual int32_t SetCurrentViewport(Viewport3D* viewport) = 0;
  // Brackets one frame of drawing. DD_OK, D3DERR_SCENE_IN_SCENE, DDERR_SURFACELOST.
  virtual int32_t BeginScene() = 0;
  // DD_OK, D3DERR_SCENE_NOT_IN_SCENE.
  virtual int32_t EndScene() = 0;
  // D3DTRANSFORMSTATE_WORLD / VIEW / PROJECTION. DD_OK, DDERR_INVALIDPARAMS.
  virtual int32_t SetTransform(uint32_t state, const D3DMATRIX& matrix) = 0;
  // D3DRENDERSTATE_* to value. DD_OK, DDERR_INVALIDPARAMS.
  virtual int32_t SetRenderState(uint32_t state, uint32_t value) = 0;
  // D3DTSS_* of a texture stage (0 or 1) to value. DD_OK, DDERR_INVALIDPARAMS.
  virtual int32_t SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) = 0;
  // Binds a texture to a stage (null unbinds). The device keeps a reference while bound.
  // DD_OK, DDERR_INVALIDPARAMS.
  virtual int32_t SetTexture(uint32_t stage, Texture3D* texture) = 0;
  // Draws vertexCount vertices read through data's pointers and strides in the vertex
  // format fvf (D3DFVF_XYZ | D3DFVF_DIFFUSE [| D3DFVF_TEX1]) as primitiveType
  // (D3DPT_TRIANGLEFAN, ...). DD_OK, D3DERR_INVALIDVERTEXFORMAT, DDERR_INVALIDPARAMS,
  // D3DERR_SCENE_NOT_IN_SCENE.
  virtual int32_t DrawPrimitiveStrided(uint32_t primitiveType, uint32_t fvf,
                                       const D3DDRAWPRIMITIVESTRIDEDDATA& data,
                                       uint32_t vertexCount, uint32_t flags) = 0;
};

// IDirect3D3 of one DirectDraw driver (QueryInterface(IID_IDirect3D3) on DirectDraw).
class Direct3D : public Unknown {
 public:
  // Reports every device of the driver (GUID, description, name, hardware and emulation
  // descriptions) until D3DENUMRET_CANCEL. DD_OK.
  virtual int32_t EnumDevices(D3DENUMDEVICESCALLBACK callback, void* context) = 0;
  // Looks a device up by GUID (a D3DFINDDEVICESEARCH with D3DFDS_GUID; the result record
  // is not needed by the system). DD_OK, DDERR_NOTFOUND.
  virtual int32_t FindDevice(const GUID& deviceGuid) = 0;
  // Reports each depth-buffer format of the device until D3DENUMRET_CANCEL. DD_OK,
  // DDERR_NOZBUFFERHW, DDERR_INVALIDPARAMS (unknown device).
  virtual int32_t EnumZBufferFormats(const GUID& deviceGuid,
                                     D3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
  // A device of the given GUID rendering into target (a DDSCAPS_3DDEVICE surface); the
  // device keeps a reference to the target. DD_OK, DDERR_INVALIDPARAMS,
  // D3DERR_INVALID_DEVICE, DDERR_OUTOFMEMORY.
  virtual int32_t CreateDevice(const GUID& deviceGuid, DrawSurface* target, Device3D** out) = 0;
  // A new viewport, not yet attached to any device. DD_OK, DDERR_OUTOFMEMORY.
  virtual int32_t CreateViewport(Viewport3D** out) = 0;
};

// Entry points of the DirectDraw module.
class GraphicsSystem {
 public:
  // Whether the DirectDraw module ("DDRAW.DLL") is loaded into the process.
  virtual bool IsDirectDrawLoaded() = 0;
  // Reports every DirectDraw driver (the primary display driver first, with a null GUID)
  // until the callback returns DDENUMRET_CANCEL. flags DDENUM_*. Falls back to the
  // non-Ex enumeration where the Ex entry point is missing. DD_OK, DDERR_INVALIDPARAMS.
  virtual int32_t DirectDrawEnumerateExA(DDENUMCALLBACKEXA callback, void* context,
                                         uint32_t flags) = 0;
  // The first interface of a DirectDraw object for driver (null: the primary display
  // driver), one reference in *out; query it for IID_IDirectDraw4. DD_OK,
  // DDERR_INVALIDPARAMS, DDERR_NODIRECTDRAWHW, DDERR_OUTOFMEMORY.
  virtual int32_t DirectDrawCreate(const GUID* driver, Unknown** out) = 0;

 protected:
  ~GraphicsSystem() = default;
};

}  // namespace nb
