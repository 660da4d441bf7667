// Fake DirectDraw / Direct3D: a configurable machine (drivers with GUID, description,
// name and caps; their devices with hardware and emulation descriptions, depth and
// texture formats; their display modes), memory-backed surfaces whose pixels Lock,
// GetDC + BitBlt, Blt and Flip really move, flip chains whose back buffers die with the
// primary, loss of the display to another program, and a device that records every
// state change, transform, texture binding, clear and strided draw (with a copy of the
// vertices). Reference counts follow the platform: surfaces, Direct3D and the device
// hold their DirectDraw object; the device holds its target, viewports and bound
// textures.
// Depends on fake_world.h, fake_pixels.h, fake_gdi.h. Test support only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake/fake_gdi.h"
#include "platform/fake/fake_pixels.h"
#include "platform/fake/fake_world.h"
#include "platform/graphics.h"

namespace nb::fake {

// ---- Configuration of the fake machine

struct FakeDeviceConfig {
  GUID guid{};
  std::string description;
  std::string name;
  D3DDEVICEDESC hardware{};  // dwFlags 0: not a hardware device
  D3DDEVICEDESC emulation{};
  std::vector<DDPIXELFORMAT> depthFormats;
  std::vector<DDPIXELFORMAT> textureFormats;
  bool creatable = true;  // CreateDevice succeeds
};

struct FakeDriverConfig {
  bool primary = true;  // reported with a null GUID
  GUID guid{};
  std::string description;
  std::string name;
  DDCAPS caps{};
  std::vector<DDSURFACEDESC2> modes;  // in the order EnumDisplayModes reports them
  std::vector<FakeDeviceConfig> devices;
  bool createFails = false;        // DirectDrawCreate refuses this driver
  bool offersDirectDraw4 = true;   // QueryInterface(IID_IDirectDraw4)
  bool offersDirect3D3 = true;     // QueryInterface(IID_IDirect3D3)
  uint64_t videoMemory = 0;        // bytes for video-memory surfaces; 0 = unlimited
};

// A display mode record as EnumDisplayModes reports it.
DDSURFACEDESC2 MakeMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t refreshRate = 60);
// The pixel format a display mode of that depth uses (16: 5-6-5, 24, 32: x8r8g8b8, 8: palettized).
DDPIXELFORMAT ModeFormat(uint32_t bitsPerPixel);
// A device description: dwFlags set (everything described), colour model, render depths
// (DDBD_*), triangle destination-blend and texture caps.
D3DDEVICEDESC MakeDeviceDesc(uint32_t colorModel, uint32_t renderBitDepths, uint32_t destBlendCaps,
                             uint32_t textureCaps);
// The usual devices of a DirectX 6 driver.
FakeDeviceConfig SoftwareDevice();   // "RGB Emulation", IID_IDirect3DRGBDevice
FakeDeviceConfig HardwareDevice();   // "Direct3D HAL", IID_IDirect3DHALDevice
FakeDeviceConfig ReferenceDevice();  // "Reference Rasterizer", IID_IDirect3DRefDevice
FakeDeviceConfig NullDevice();       // "Null device", IID_IDirect3DNullDevice
// The primary display driver with a software and a hardware device, modes 640x480,
// 800x600 and 1024x768 at 8, 16 and 32 bits, a 16-bit depth format and 5-6-5, 1-5-5-5,
// 4-4-4-4, 8-8-8-8 and 8-bit palettized texture formats.
FakeDriverConfig StandardDriver();
// A secondary driver (with a GUID) with a hardware device.
FakeDriverConfig SecondaryDriver(const GUID& guid, const std::string& description, const std::string& name);

// ---- Objects

class FakeDirectDraw;
class FakeDirect3D;
class FakeSurface;
class FakeDevice;
class FakeViewport;
class FakeGraphicsSystem;

class FakeGraphicsSystem final : public GraphicsSystem {
 public:
  FakeGraphicsSystem(FakeWorld& world, FakeGdi& gdi) : world_(world), gdi_(gdi) {}
  // Objects of the world that report to this port are destroyed with it, whatever order
  // the owner declared the world and the ports in.
  ~FakeGraphicsSystem() { world_.DestroyAll(); }
  FakeGraphicsSystem(const FakeGraphicsSystem&) = delete;
  FakeGraphicsSystem& operator=(const FakeGraphicsSystem&) = delete;

  std::vector<FakeDriverConfig> drivers;
  bool directDrawLoaded = true;
  DDSURFACEDESC2 desktopMode = MakeMode(1024, 768, 32);

  // Another program takes the exclusive display: every video-memory surface is lost and
  // TestCooperativeLevel fails until GiveDisplayBack.
  void TakeDisplayAway();
  void GiveDisplayBack();
  bool displayTaken = false;

  // Live objects, in creation order.
  const std::vector<FakeDirectDraw*>& DirectDraws() const { return directDraws_; }
  const std::vector<FakeSurface*>& Surfaces() const { return surfaces_; }
  const std::vector<FakeDevice*>& Devices() const { return devices_; }
  FakeDevice* LastDevice() const { return devices_.empty() ? nullptr : devices_.back(); }
  FakeDirectDraw* LastDirectDraw() const { return directDraws_.empty() ? nullptr : directDraws_.back(); }

  // ---- GraphicsSystem
  bool IsDirectDrawLoaded() override;
  int32_t DirectDrawEnumerateExA(DDENUMCALLBACKEXA callback, void* context, uint32_t flags) override;
  int32_t DirectDrawCreate(const GUID* driver, Unknown** out) override;

  // Bookkeeping for the fake objects.
  FakeWorld& world() { return world_; }
  FakeGdi& gdi() { return gdi_; }
  template <class T>
  static void Forget(std::vector<T*>& list, T* item) {
    std::erase(list, item);
  }
  std::vector<FakeDirectDraw*> directDraws_;
  std::vector<FakeSurface*> surfaces_;
  std::vector<FakeDevice*> devices_;

 private:
  FakeWorld& world_;
  FakeGdi& gdi_;
};

class FakeDirectDraw final : public FakeObject<FakeDirectDraw, DirectDraw> {
 public:
  FakeDirectDraw(FakeGraphicsSystem& system, FakeDriverConfig config);
  ~FakeDirectDraw() override;

  FakeGraphicsSystem& system() const { return system_; }
  const FakeDriverConfig& config() const { return config_; }
  const DDSURFACEDESC2& currentMode() const { return mode_; }
  Window window{};
  uint32_t cooperativeFlags = 0;
  uint32_t flipsToGdi = 0;
  uint64_t videoMemoryUsed = 0;
  bool Exclusive() const { return (cooperativeFlags & DDSCL_EXCLUSIVE) != 0; }
  const FakeDeviceConfig* FindDevice(const GUID& guid) const;

  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t GetCaps(DDCAPS* hardware, DDCAPS* emulation) override;
  int32_t EnumDisplayModes(uint32_t flags, const DDSURFACEDESC2* filter, void* context,
                           DDENUMMODESCALLBACK2 callback) override;
  int32_t SetCooperativeLevel(Window window, uint32_t flags) override;
  int32_t SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t refreshRate,
                         uint32_t flags) override;
  int32_t GetDisplayMode(DDSURFACEDESC2* desc) override;
  int32_t CreateSurface(const DDSURFACEDESC2* desc, DrawSurface** out) override;
  int32_t CreatePalette(uint32_t flags, const PALETTEENTRY* entries, DrawPalette** out) override;
  int32_t TestCooperativeLevel() override;
  int32_t FlipToGDISurface() override;

 private:
  void LoseVideoSurfaces();
  FakeGraphicsSystem& system_;
  FakeDriverConfig config_;
  DDSURFACEDESC2 mode_{};
};

class FakePalette final : public FakeObject<FakePalette, DrawPalette> {
 public:
  FakePalette(FakeWorld& world, const PALETTEENTRY* entries);
  PALETTEENTRY entries[256];

  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t GetEntries(uint32_t start, uint32_t count, PALETTEENTRY* out) override;
};

class FakeSurface final : public FakeObject<FakeSurface, DrawSurface, Texture3D> {
 public:
  FakeSurface(FakeDirectDraw& owner, const DDSURFACEDESC2& desc, bool videoMemory);
  ~FakeSurface() override;

  // ---- Test view
  const DDSURFACEDESC2& desc() const { return desc_; }
  PixelStore& pixels() { return pixels_; }
  bool lost = false;
  bool locked = false;
  uint32_t flips = 0;
  bool isPrimary() const { return (desc_.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0; }
  bool isTexture() const { return (desc_.ddsCaps.dwCaps & DDSCAPS_TEXTURE) != 0; }
  bool managed() const { return (desc_.ddsCaps.dwCaps2 & DDSCAPS2_TEXTUREMANAGE) != 0; }
  bool videoMemory() const { return videoMemory_; }
  bool dead() const { return buried(); }
  FakeDirectDraw* owner() const { return owner_; }
  FakeGraphicsSystem& system() const;
  DrawPalette* palette() const { return palette_.Get(); }
  const std::vector<FakeSurface*>& backBuffers() const { return backBuffers_; }
  void AttachBackBuffer(FakeSurface* back) { backBuffers_.push_back(back); }
  // Pixel at (x, y) as 8-bit channels.
  Rgb Pixel(int32_t x, int32_t y) const { return pixels_.Get(x, y); }

  // ---- Unknown
  int32_t QueryInterface(const GUID& iid, void** out) override;
  // ---- DrawSurface
  int32_t GetSurfaceDesc(DDSURFACEDESC2* desc) override;
  int32_t GetAttachedSurface(const DDSCAPS2& caps, DrawSurface** out) override;
  int32_t Flip(DrawSurface* target, uint32_t flags) override;
  int32_t IsLost() override;
  int32_t Restore() override;
  int32_t GetDC(Dc* out) override;
  int32_t ReleaseDC(Dc dc) override;
  int32_t Blt(const RECT* dstRect, DrawSurface* src, const RECT* srcRect, uint32_t flags) override;
  int32_t Lock(const RECT* rect, DDSURFACEDESC2* desc, uint32_t flags) override;
  int32_t Unlock(const RECT* rect) override;
  int32_t GetDDInterface(DirectDraw** out) override;
  int32_t SetPalette(DrawPalette* palette) override;
  // ---- Texture3D
  DrawSurface* GetSurface() override { return this; }

 protected:
  void OnFinalRelease() override;

 private:
  int32_t Usable() const;  // DD_OK, or why the surface cannot be used now
  FakeGraphicsSystem* system_;
  FakeDirectDraw* owner_;
  Ref<DirectDraw> ownerRef_;
  DDSURFACEDESC2 desc_;
  bool videoMemory_;
  PixelStore pixels_;
  Dc dc_{};
  Ref<DrawPalette> palette_;
  std::vector<FakeSurface*> backBuffers_;  // one reference each, held by the primary
};

class FakeDirect3D final : public FakeObject<FakeDirect3D, Direct3D> {
 public:
  explicit FakeDirect3D(FakeDirectDraw& owner);
  FakeDirectDraw& owner() const { return *owner_; }

  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t EnumDevices(D3DENUMDEVICESCALLBACK callback, void* context) override;
  int32_t FindDevice(const GUID& deviceGuid) override;
  int32_t EnumZBufferFormats(const GUID& deviceGuid, D3DENUMPIXELFORMATSCALLBACK callback,
                             void* context) override;
  int32_t CreateDevice(const GUID& deviceGuid, DrawSurface* target, Device3D** out) override;
  int32_t CreateViewport(Viewport3D** out) override;

 protected:
  void OnFinalRelease() override { ownerRef_.Reset(); }

 private:
  FakeDirectDraw* owner_;
  Ref<DirectDraw> ownerRef_;
};

// One vertex as the device read it through the strided pointers.
struct FakeVertex {
  float x, y, z;
  D3DCOLOR diffuse;  // 0 when the format has none
  float tu, tv;      // 0 when the format has no texture coordinates
};

struct FakeDraw {
  uint32_t primitiveType;
  uint32_t fvf;
  uint32_t flags;
  std::vector<FakeVertex> vertices;
  D3DMATRIX world;
  D3DMATRIX view;
  D3DMATRIX projection;
  const Texture3D* texture;  // bound to stage 0, or null
  std::map<uint32_t, uint32_t> renderStates;
  uint32_t colorOp0;  // stage 0 D3DTSS_COLOROP
};

struct FakeClear {
  std::vector<D3DRECT> rects;
  uint32_t flags;
  D3DCOLOR color;
  float z;
  uint32_t stencil;
};

struct DeviceCommand {
  enum class Kind { BeginScene, EndScene, SetTransform, SetRenderState, SetTextureStageState, SetTexture,
                    Draw, Clear };
  Kind kind;
  uint32_t a = 0;  // transform / render state / stage
  uint32_t b = 0;  // stage state
  uint32_t value = 0;
  D3DMATRIX matrix{};
  const Texture3D* texture = nullptr;
  size_t index = 0;  // into draws or clears
};

class FakeDevice final : public FakeObject<FakeDevice, Device3D> {
 public:
  FakeDevice(FakeDirect3D& direct3D, const FakeDeviceConfig& config, FakeSurface& target);
  ~FakeDevice() override;

  // ---- Test view
  const FakeDeviceConfig& config() const { return config_; }
  FakeSurface& target() const { return *target_; }
  std::vector<DeviceCommand> commands;
  std::vector<FakeDraw> draws;
  std::vector<FakeClear> clears;
  std::map<uint32_t, D3DMATRIX> transforms;
  std::map<uint32_t, uint32_t> renderStates;
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> stageStates;  // (stage, state)
  bool inScene = false;
  uint32_t scenes = 0;  // completed BeginScene / EndScene pairs
  const Texture3D* Texture(uint32_t stage) const { return stage < 8 ? textures_[stage].Get() : nullptr; }
  FakeViewport* currentViewport() const { return current_; }
  size_t ViewportCount() const { return viewports_.size(); }
  // Forgets the recorded commands, draws and clears (the state stays).
  void ClearRecords();
  // Records a clear made through one of this device's viewports.
  void RecordClear(FakeClear clear);

  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) override;
  int32_t EnumTextureFormats(D3DENUMPIXELFORMATSCALLBACK callback, void* context) override;
  int32_t GetRenderTarget(DrawSurface** out) override;
  int32_t AddViewport(Viewport3D* viewport) override;
  int32_t SetCurrentViewport(Viewport3D* viewport) override;
  int32_t BeginScene() override;
  int32_t EndScene() override;
  int32_t SetTransform(uint32_t state, const D3DMATRIX& matrix) override;
  int32_t SetRenderState(uint32_t state, uint32_t value) override;
  int32_t SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) override;
  int32_t SetTexture(uint32_t stage, Texture3D* texture) override;
  int32_t DrawPrimitiveStrided(uint32_t primitiveType, uint32_t fvf, const D3DDRAWPRIMITIVESTRIDEDDATA& data,
                               uint32_t vertexCount, uint32_t flags) override;

 protected:
  void OnFinalRelease() override;

 private:
  FakeGraphicsSystem& system_;
  FakeDeviceConfig config_;
  Ref<Direct3D> direct3D_;
  FakeSurface* target_;
  Ref<DrawSurface> targetRef_;
  std::vector<Ref<Viewport3D>> viewports_;
  FakeViewport* current_ = nullptr;
  Ref<Texture3D> textures_[8];
};

class FakeViewport final : public FakeObject<FakeViewport, Viewport3D> {
 public:
  explicit FakeViewport(FakeWorld& world) : FakeObject(world, "Viewport3D") {}

  FakeDevice* device = nullptr;  // the device it was added to (not held)
  bool hasData = false;
  D3DVIEWPORT2 data{};

  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t SetViewport2(const D3DVIEWPORT2& viewport) override;
  int32_t GetViewport2(D3DVIEWPORT2* out) override;
  int32_t Clear2(uint32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color, float z,
                 uint32_t stencil) override;
};

}  // namespace nb::fake
