// DirectDraw and Direct3D wrappers. The port's records have the platform's layout (checked
// by the Windows builds' value tests), so records and callbacks' arguments pass through
// by pointer; only handles, GUIDs and the port objects themselves are converted.
#include "platform/win32/win32_graphics.h"

#include "platform/graphics.h"
#include "platform/guid.h"
#include "platform/result.h"

// clang-format off
#include <windows.h>
#include <ddraw.h>
#include <d3d.h>
// clang-format on

#include "platform/win32/win32_com.h"

namespace nb::win32 {

namespace {

using DirectDrawCreateFn = HRESULT(WINAPI*)(::GUID*, IDirectDraw**, IUnknown*);
using DirectDrawEnumerateExFn = HRESULT(WINAPI*)(LPDDENUMCALLBACKEXA, LPVOID, DWORD);
using DirectDrawEnumerateFn = HRESULT(WINAPI*)(LPDDENUMCALLBACKA, LPVOID);

template <class T>
T ProcOf(void* module, const char* name) {
  return module ? reinterpret_cast<T>(
                      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name)))
                : nullptr;
}

HWND ToHwnd(Window window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

::RECT* ToRect(const nb::RECT* rect) {
  return const_cast<::RECT*>(reinterpret_cast<const ::RECT*>(rect));
}

void* WrapGraphics(WrapperTable& table, const nb::GUID& iid, void* real);

// ---- Wrapper classes. Each forwards every port method to its real interface.

template <class Port, class Real>
using Wrapper = PortWrapper<Port, Real, WrapGraphics>;

class PaletteWrapper final : public Wrapper<DrawPalette, IDirectDrawPalette> {
 public:
  using PortWrapper::PortWrapper;
  int32_t GetEntries(uint32_t start, uint32_t count, nb::PALETTEENTRY* out) override {
    return real_->GetEntries(0, start, count, reinterpret_cast<::PALETTEENTRY*>(out));
  }
};

class SurfaceWrapper;

// The IDirect3DTexture2 face of a surface: the same wrapper seen through the texture port,
// with the real texture interface's own AddRef and Release.
class TextureFace final : public Texture3D {
 public:
  explicit TextureFace(SurfaceWrapper& surface) : surface_(surface) {}
  uint32_t AddRef() override;
  uint32_t Release() override;
  int32_t QueryInterface(const nb::GUID& iid, void** out) override;
  DrawSurface* GetSurface() override;
  IDirect3DTexture2* real = nullptr;

 private:
  SurfaceWrapper& surface_;
};

class DirectDrawWrapper;

class SurfaceWrapper final : public Wrapper<DrawSurface, IDirectDrawSurface4> {
 public:
  SurfaceWrapper(WrapperTable& table, IDirectDrawSurface4* real)
      : PortWrapper(table, real), texture_(*this) {}

  Texture3D* textureFace() { return &texture_; }

  // Hands out the texture face, taking over the one reference on texture (this surface's
  // own texture interface).
  Texture3D* HandOutTexture(IDirect3DTexture2* texture) {
    texture_.real = texture;
    AddAlias(texture);
    HandedOut();
    return &texture_;
  }

  int32_t GetSurfaceDesc(nb::DDSURFACEDESC2* desc) override {
    return real_->GetSurfaceDesc(reinterpret_cast<::DDSURFACEDESC2*>(desc));
  }

  int32_t GetAttachedSurface(const nb::DDSCAPS2& caps, DrawSurface** out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    ::DDSCAPS2 wanted = reinterpret_cast<const ::DDSCAPS2&>(caps);
    IDirectDrawSurface4* attached = nullptr;
    const HRESULT result = real_->GetAttachedSurface(&wanted, &attached);
    if (FAILED(result)) return result;
    if (!attached) return DDERR_NOTFOUND;
    SurfaceWrapper* wrapper = Obtain<SurfaceWrapper>(
        table(), attached, [&] { return new SurfaceWrapper(table(), attached); });
    // The surfaces of a complex chain are destroyed with the chain, whatever references
    // are left on them: so is their wrapper.
    ::DDSCAPS2 own{};
    if (SUCCEEDED(real_->GetCaps(&own)) && (own.dwCaps & DDSCAPS_COMPLEX)) EndWith(wrapper);
    *out = wrapper;
    return result;
  }

  int32_t Flip(DrawSurface* target, uint32_t flags) override {
    SurfaceWrapper* other = Unwrap<SurfaceWrapper>(target);
    if (target && !other) return DDERR_INVALIDPARAMS;
    return real_->Flip(other ? other->real() : nullptr, flags);
  }
  int32_t IsLost() override { return real_->IsLost(); }
  int32_t Restore() override { return real_->Restore(); }
  int32_t GetDC(Dc* out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    HDC dc = nullptr;
    const HRESULT result = real_->GetDC(&dc);
    *out = Dc{reinterpret_cast<uintptr_t>(dc)};
    return result;
  }
  int32_t ReleaseDC(Dc dc) override {
    return real_->ReleaseDC(reinterpret_cast<HDC>(static_cast<uintptr_t>(dc)));
  }
  int32_t Blt(const nb::RECT* dstRect, DrawSurface* src, const nb::RECT* srcRect,
              uint32_t flags) override {
    SurfaceWrapper* source = Unwrap<SurfaceWrapper>(src);
    if (src && !source) return DDERR_INVALIDPARAMS;
    return real_->Blt(ToRect(dstRect), source ? source->real() : nullptr, ToRect(srcRect), flags,
                      nullptr);
  }
  int32_t Lock(const nb::RECT* rect, nb::DDSURFACEDESC2* desc, uint32_t flags) override {
    return real_->Lock(ToRect(rect), reinterpret_cast<::DDSURFACEDESC2*>(desc), flags, nullptr);
  }
  int32_t Unlock(const nb::RECT* rect) override { return real_->Unlock(ToRect(rect)); }
  int32_t GetDDInterface(DirectDraw** out) override;
  int32_t SetPalette(DrawPalette* palette) override {
    PaletteWrapper* wrapper = Unwrap<PaletteWrapper>(palette);
    if (palette && !wrapper) return DDERR_INVALIDPARAMS;
    return real_->SetPalette(wrapper ? wrapper->real() : nullptr);
  }

 private:
  TextureFace texture_;
};

uint32_t TextureFace::AddRef() { return surface_.Added(real->AddRef()); }
uint32_t TextureFace::Release() { return surface_.Released(real->Release()); }
int32_t TextureFace::QueryInterface(const nb::GUID& iid, void** out) {
  return surface_.QueryInterface(iid, out);
}
DrawSurface* TextureFace::GetSurface() { return &surface_; }

class DirectDrawWrapper final : public Wrapper<DirectDraw, IDirectDraw4> {
 public:
  using PortWrapper::PortWrapper;

  int32_t GetCaps(nb::DDCAPS* hardware, nb::DDCAPS* emulation) override {
    return real_->GetCaps(reinterpret_cast<::DDCAPS*>(hardware),
                          reinterpret_cast<::DDCAPS*>(emulation));
  }

  int32_t EnumDisplayModes(uint32_t flags, const nb::DDSURFACEDESC2* filter, void* context,
                           DDENUMMODESCALLBACK2 callback) override {
    if (!callback) return DDERR_INVALIDPARAMS;
    struct Call {
      DDENUMMODESCALLBACK2 callback;
      void* context;
      static HRESULT WINAPI Each(LPDDSURFACEDESC2 mode, LPVOID self) {
        const Call& call = *static_cast<const Call*>(self);
        return call.callback(reinterpret_cast<const nb::DDSURFACEDESC2*>(mode), call.context);
      }
    } call{callback, context};
    return real_->EnumDisplayModes(
        flags, const_cast<::DDSURFACEDESC2*>(reinterpret_cast<const ::DDSURFACEDESC2*>(filter)),
        &call, &Call::Each);
  }

  int32_t SetCooperativeLevel(Window window, uint32_t flags) override {
    return real_->SetCooperativeLevel(ToHwnd(window), flags);
  }
  int32_t SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                         uint32_t refreshRate, uint32_t flags) override {
    return real_->SetDisplayMode(width, height, bitsPerPixel, refreshRate, flags);
  }
  int32_t GetDisplayMode(nb::DDSURFACEDESC2* desc) override {
    return real_->GetDisplayMode(reinterpret_cast<::DDSURFACEDESC2*>(desc));
  }
  int32_t CreateSurface(const nb::DDSURFACEDESC2* desc, DrawSurface** out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    IDirectDrawSurface4* surface = nullptr;
    const HRESULT result = real_->CreateSurface(
        const_cast<::DDSURFACEDESC2*>(reinterpret_cast<const ::DDSURFACEDESC2*>(desc)), &surface,
        nullptr);
    if (FAILED(result)) return result;
    if (!surface) return DDERR_GENERIC;
    *out = Wrap<SurfaceWrapper>(table(), surface);
    return result;
  }
  int32_t CreatePalette(uint32_t flags, const nb::PALETTEENTRY* entries,
                        DrawPalette** out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    IDirectDrawPalette* palette = nullptr;
    const HRESULT result = real_->CreatePalette(
        flags, const_cast<::PALETTEENTRY*>(reinterpret_cast<const ::PALETTEENTRY*>(entries)),
        &palette, nullptr);
    if (FAILED(result)) return result;
    if (!palette) return DDERR_GENERIC;
    *out = Wrap<PaletteWrapper>(table(), palette);
    return result;
  }
  int32_t TestCooperativeLevel() override { return real_->TestCooperativeLevel(); }
  int32_t FlipToGDISurface() override { return real_->FlipToGDISurface(); }
};

int32_t SurfaceWrapper::GetDDInterface(DirectDraw** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  void* answer = nullptr;
  HRESULT result = real_->GetDDInterface(&answer);
  if (FAILED(result)) return result;
  if (!answer) return DDERR_INVALIDOBJECT;
  // Whichever interface of the DirectDraw object the surface names, the port wants its
  // IDirectDraw4: the reference moves over to that interface.
  IUnknown* named = static_cast<IUnknown*>(answer);
  IDirectDraw4* directDraw = nullptr;
  result = named->QueryInterface(ToWin(IID_IDirectDraw4), reinterpret_cast<void**>(&directDraw));
  named->Release();
  if (FAILED(result)) return result;
  if (!directDraw) return DDERR_INVALIDOBJECT;
  *out = Wrap<DirectDrawWrapper>(table(), directDraw);
  return DD_OK;
}

class ViewportWrapper final : public Wrapper<Viewport3D, IDirect3DViewport3> {
 public:
  using PortWrapper::PortWrapper;
  int32_t SetViewport2(const nb::D3DVIEWPORT2& viewport) override {
    return real_->SetViewport2(
        const_cast<::D3DVIEWPORT2*>(reinterpret_cast<const ::D3DVIEWPORT2*>(&viewport)));
  }
  int32_t GetViewport2(nb::D3DVIEWPORT2* out) override {
    return real_->GetViewport2(reinterpret_cast<::D3DVIEWPORT2*>(out));
  }
  int32_t Clear2(uint32_t count, const nb::D3DRECT* rects, uint32_t flags, D3DCOLOR color,
                 float z, uint32_t stencil) override {
    return real_->Clear2(count, const_cast<::D3DRECT*>(reinterpret_cast<const ::D3DRECT*>(rects)),
                         flags, color, z, stencil);
  }
};

struct PixelFormatCall {
  D3DENUMPIXELFORMATSCALLBACK callback;
  void* context;
  static HRESULT CALLBACK Each(::DDPIXELFORMAT* format, void* self) {
    const PixelFormatCall& call = *static_cast<const PixelFormatCall*>(self);
    return call.callback(reinterpret_cast<const nb::DDPIXELFORMAT*>(format), call.context);
  }
};

class DeviceWrapper final : public Wrapper<Device3D, IDirect3DDevice3> {
 public:
  using PortWrapper::PortWrapper;

  int32_t GetCaps(nb::D3DDEVICEDESC* hardware, nb::D3DDEVICEDESC* emulation) override {
    return real_->GetCaps(reinterpret_cast<::D3DDEVICEDESC*>(hardware),
                          reinterpret_cast<::D3DDEVICEDESC*>(emulation));
  }
  int32_t EnumTextureFormats(D3DENUMPIXELFORMATSCALLBACK callback, void* context) override {
    if (!callback) return DDERR_INVALIDPARAMS;
    PixelFormatCall call{callback, context};
    return real_->EnumTextureFormats(&PixelFormatCall::Each, &call);
  }
  int32_t GetRenderTarget(DrawSurface** out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    IDirectDrawSurface4* target = nullptr;
    const HRESULT result = real_->GetRenderTarget(&target);
    if (FAILED(result)) return result;
    if (!target) return DDERR_GENERIC;
    *out = Wrap<SurfaceWrapper>(table(), target);
    return result;
  }
  int32_t AddViewport(Viewport3D* viewport) override {
    ViewportWrapper* wrapper = Unwrap<ViewportWrapper>(viewport);
    if (!wrapper) return DDERR_INVALIDPARAMS;
    return real_->AddViewport(wrapper->real());
  }
  int32_t SetCurrentViewport(Viewport3D* viewport) override {
    ViewportWrapper* wrapper = Unwrap<ViewportWrapper>(viewport);
    if (!wrapper) return DDERR_INVALIDPARAMS;
    return real_->SetCurrentViewport(wrapper->real());
  }
  int32_t BeginScene() override { return real_->BeginScene(); }
  int32_t EndScene() override { return real_->EndScene(); }
  int32_t SetTransform(uint32_t state, const nb::D3DMATRIX& matrix) override {
    return real_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state),
                               const_cast<::D3DMATRIX*>(reinterpret_cast<const ::D3DMATRIX*>(&matrix)));
  }
  int32_t SetRenderState(uint32_t state, uint32_t value) override {
    return real_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
  }
  int32_t SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) override {
    return real_->SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(state), value);
  }
  int32_t SetTexture(uint32_t stage, Texture3D* texture) override {
    TextureFace* face = texture ? dynamic_cast<TextureFace*>(texture) : nullptr;
    if (texture && (!face || !face->real)) return DDERR_INVALIDPARAMS;
    return real_->SetTexture(stage, face ? face->real : nullptr);
  }
  int32_t DrawPrimitiveStrided(uint32_t primitiveType, uint32_t fvf,
                               const nb::D3DDRAWPRIMITIVESTRIDEDDATA& data, uint32_t vertexCount,
                               uint32_t flags) override {
    return real_->DrawPrimitiveStrided(
        static_cast<D3DPRIMITIVETYPE>(primitiveType), fvf,
        const_cast<::D3DDRAWPRIMITIVESTRIDEDDATA*>(
            reinterpret_cast<const ::D3DDRAWPRIMITIVESTRIDEDDATA*>(&data)),
        vertexCount, flags);
  }
};

class Direct3DWrapper final : public Wrapper<Direct3D, IDirect3D3> {
 public:
  using PortWrapper::PortWrapper;

  int32_t EnumDevices(D3DENUMDEVICESCALLBACK callback, void* context) override {
    if (!callback) return DDERR_INVALIDPARAMS;
    struct Call {
      D3DENUMDEVICESCALLBACK callback;
      void* context;
      static HRESULT CALLBACK Each(::GUID* guid, char* description, char* name,
                                   ::D3DDEVICEDESC* hardware, ::D3DDEVICEDESC* emulation,
                                   void* self) {
        const Call& call = *static_cast<const Call*>(self);
        return call.callback(reinterpret_cast<const nb::GUID*>(guid), description, name,
                             reinterpret_cast<const nb::D3DDEVICEDESC*>(hardware),
                             reinterpret_cast<const nb::D3DDEVICEDESC*>(emulation), call.context);
      }
    } call{callback, context};
    return real_->EnumDevices(&Call::Each, &call);
  }
  int32_t FindDevice(const nb::GUID& deviceGuid) override {
    D3DFINDDEVICESEARCH search{};
    search.dwSize = sizeof search;
    search.dwFlags = D3DFDS_GUID;
    search.guid = ToWin(deviceGuid);
    D3DFINDDEVICERESULT result{};
    result.dwSize = sizeof result;
    return real_->FindDevice(&search, &result);
  }
  int32_t EnumZBufferFormats(const nb::GUID& deviceGuid, D3DENUMPIXELFORMATSCALLBACK callback,
                             void* context) override {
    if (!callback) return DDERR_INVALIDPARAMS;
    PixelFormatCall call{callback, context};
    return real_->EnumZBufferFormats(ToWin(deviceGuid), &PixelFormatCall::Each, &call);
  }
  int32_t CreateDevice(const nb::GUID& deviceGuid, DrawSurface* target, Device3D** out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    SurfaceWrapper* surface = Unwrap<SurfaceWrapper>(target);
    if (!surface) return DDERR_INVALIDPARAMS;
    IDirect3DDevice3* device = nullptr;
    const HRESULT result = real_->CreateDevice(ToWin(deviceGuid), surface->real(), &device, nullptr);
    if (FAILED(result)) return result;
    if (!device) return DDERR_GENERIC;
    *out = Wrap<DeviceWrapper>(table(), device);
    return result;
  }
  int32_t CreateViewport(Viewport3D** out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    IDirect3DViewport3* viewport = nullptr;
    const HRESULT result = real_->CreateViewport(&viewport, nullptr);
    if (FAILED(result)) return result;
    if (!viewport) return DDERR_GENERIC;
    *out = Wrap<ViewportWrapper>(table(), viewport);
    return result;
  }
};

// The texture interface is a face of its surface's one wrapper, whichever interface of the
// object it was asked through: the surface is found by the interface it answers for
// IDirectDrawSurface4. Null (the reference released) for a texture without a surface.
Texture3D* TextureFaceOf(WrapperTable& table, IDirect3DTexture2* texture) {
  if (auto* known = dynamic_cast<SurfaceWrapper*>(table.Find(texture))) {
    known->HandedOut();
    return known->textureFace();
  }
  IDirectDrawSurface4* real = nullptr;
  if (FAILED(texture->QueryInterface(ToWin(IID_IDirectDrawSurface4), reinterpret_cast<void**>(&real))) ||
      !real) {
    texture->Release();
    return nullptr;
  }
  auto* surface = dynamic_cast<SurfaceWrapper*>(table.Find(real));
  if (!surface) surface = new SurfaceWrapper(table, real);
  // The texture's reference keeps the object, and the program holds that one.
  real->Release();
  return surface->HandOutTexture(texture);
}

// Takes over the one reference on real that a QueryInterface for iid returned, and gives
// the port pointer that iid names.
void* WrapGraphics(WrapperTable& table, const nb::GUID& iid, void* real) {
  if (iid == IID_IDirectDraw4) {
    return static_cast<DirectDraw*>(Wrap<DirectDrawWrapper>(table, static_cast<IDirectDraw4*>(real)));
  }
  if (iid == IID_IDirect3D3) {
    return static_cast<Direct3D*>(Wrap<Direct3DWrapper>(table, static_cast<IDirect3D3*>(real)));
  }
  if (iid == IID_IDirectDrawSurface4) {
    return static_cast<DrawSurface*>(
        Wrap<SurfaceWrapper>(table, static_cast<IDirectDrawSurface4*>(real)));
  }
  if (iid == IID_IDirect3DDevice3) {
    return static_cast<Device3D*>(Wrap<DeviceWrapper>(table, static_cast<IDirect3DDevice3*>(real)));
  }
  if (iid == IID_IDirect3DViewport3) {
    return static_cast<Viewport3D*>(
        Wrap<ViewportWrapper>(table, static_cast<IDirect3DViewport3*>(real)));
  }
  if (iid == IID_IDirectDrawPalette) {
    return static_cast<DrawPalette*>(
        Wrap<PaletteWrapper>(table, static_cast<IDirectDrawPalette*>(real)));
  }
  if (iid == IID_IDirect3DTexture2) {
    return static_cast<void*>(TextureFaceOf(table, static_cast<IDirect3DTexture2*>(real)));
  }
  // Any other interface is only held and released; an object already wrapped under this
  // pointer keeps its one wrapper.
  if (ComWrapper* known = table.Find(real)) {
    if (auto* unknown = dynamic_cast<Unknown*>(known)) {
      known->HandedOut();
      return static_cast<void*>(unknown);
    }
  }
  auto* wrapper = new UnknownWrapper(table, static_cast<IUnknown*>(real), WrapGraphics);
  wrapper->HandedOut();
  return static_cast<Unknown*>(wrapper);
}

}  // namespace

Win32Graphics::Win32Graphics() : table_(std::make_unique<WrapperTable>()) {}

Win32Graphics::~Win32Graphics() {
  // The module stays loaded while the program may still hold objects made by it.
  if (module_ && table_->LiveCount() == 0) FreeLibrary(static_cast<HMODULE>(module_));
}

bool Win32Graphics::IsDirectDrawLoaded() {
  if (!triedLoading_) {
    triedLoading_ = true;
    module_ = LoadLibraryA("DDRAW.DLL");
  }
  return module_ != nullptr && GetModuleHandleA("DDRAW.DLL") != nullptr;
}

int32_t Win32Graphics::DirectDrawEnumerateExA(DDENUMCALLBACKEXA callback, void* context,
                                              uint32_t flags) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (!IsDirectDrawLoaded()) return DDERR_GENERIC;
  struct Call {
    DDENUMCALLBACKEXA callback;
    void* context;
    static BOOL WINAPI EachEx(::GUID* guid, LPSTR description, LPSTR name, LPVOID self, HMONITOR) {
      const Call& call = *static_cast<const Call*>(self);
      return call.callback(reinterpret_cast<const nb::GUID*>(guid), description, name,
                           call.context);
    }
    static BOOL WINAPI Each(::GUID* guid, LPSTR description, LPSTR name, LPVOID self) {
      return EachEx(guid, description, name, self, nullptr);
    }
  } call{callback, context};
  if (auto enumerateEx = ProcOf<DirectDrawEnumerateExFn>(module_, "DirectDrawEnumerateExA")) {
    return enumerateEx(&Call::EachEx, &call, flags);
  }
  if (auto enumerate = ProcOf<DirectDrawEnumerateFn>(module_, "DirectDrawEnumerateA")) {
    return enumerate(&Call::Each, &call);
  }
  return DDERR_UNSUPPORTED;
}

int32_t Win32Graphics::DirectDrawCreate(const GUID* driver, Unknown** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!IsDirectDrawLoaded()) return DDERR_NODIRECTDRAWHW;
  auto create = ProcOf<DirectDrawCreateFn>(module_, "DirectDrawCreate");
  if (!create) return DDERR_NODIRECTDRAWHW;
  IDirectDraw* directDraw = nullptr;
  const HRESULT result =
      create(driver ? const_cast<::GUID*>(&ToWin(*driver)) : nullptr, &directDraw, nullptr);
  if (FAILED(result)) return result;
  if (!directDraw) return DDERR_GENERIC;
  *out = static_cast<Unknown*>(WrapGraphics(*table_, IID_IUnknown, directDraw));
  return result;
}

size_t Win32Graphics::LiveWrappers() const { return table_->LiveCount(); }

void* Win32Graphics::RealInterface(Unknown* object) const {
  if (!object) return nullptr;
  if (auto* face = dynamic_cast<TextureFace*>(object)) return face->real;
  auto* wrapper = dynamic_cast<ComWrapper*>(object);
  if (!wrapper || table_->Find(wrapper->realUnknown()) != wrapper) return nullptr;
  return wrapper->realUnknown();
}

}  // namespace nb::win32
