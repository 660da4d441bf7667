// The objects of the OpenGL driver behind gl_device.h: the DirectDraw object (which is
// also its Direct3D interface, one reference count for both), surfaces (which are also
// their own texture interface), palettes, devices and viewports.
// Internal to src/platform/gl: the rest of the program sees only the ports. Every GL call
// here runs with the driver's context made current first.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gl/gl_context.h"
#include "platform/gl/gl_device.h"
#include "platform/gl/gl_formats.h"
#include "platform/graphics.h"
#include "platform/ref.h"

namespace nb {

// Reference counting shared by all the interfaces one object implements.
template <class Primary, class... Others>
class GlObject : public Primary, public Others... {
 public:
  GlObject() = default;
  GlObject(const GlObject&) = delete;
  GlObject& operator=(const GlObject&) = delete;

  uint32_t AddRef() override { return ++count_; }
  uint32_t Release() override {
    if (count_ == 0) return 0;  // one release too many: reported, never a second delete
    const uint32_t left = --count_;
    if (left == 0) FinalRelease();
    return left;
  }
  uint32_t references() const { return count_; }

 protected:
  ~GlObject() override = default;
  virtual void FinalRelease() { delete this; }

 private:
  uint32_t count_ = 1;
};

class GlDevice;
class GlSurface;

// The DirectDraw driver and its Direct3D interface, with the GL resources shared by its
// devices (the shader program, the vertex buffer, the sampler).
class GlDraw final : public GlObject<DirectDraw, Direct3D> {
 public:
  explicit GlDraw(const GlDriverOptions& options);
  bool InitGl();  // the shader and buffers; false when GL refuses them

  // ---- Unknown
  int32_t QueryInterface(const GUID& iid, void** out) override;

  // ---- DirectDraw
  int32_t GetCaps(DDCAPS* hardware, DDCAPS* emulation) override;
  int32_t EnumDisplayModes(uint32_t flags, const DDSURFACEDESC2* filter, void* context,
                           DDENUMMODESCALLBACK2 callback) override;
  int32_t SetCooperativeLevel(Window window, uint32_t flags) override;
  int32_t SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                         uint32_t refreshRate, uint32_t flags) override;
  int32_t GetDisplayMode(DDSURFACEDESC2* desc) override;
  int32_t CreateSurface(const DDSURFACEDESC2* desc, DrawSurface** out) override;
  int32_t CreatePalette(uint32_t flags, const PALETTEENTRY* entries, DrawPalette** out) override;
  int32_t TestCooperativeLevel() override;
  int32_t FlipToGDISurface() override;

  // ---- Direct3D
  int32_t EnumDevices(D3DENUMDEVICESCALLBACK callback, void* context) override;
  int32_t FindDevice(const GUID& deviceGuid) override;
  int32_t EnumZBufferFormats(const GUID& deviceGuid, D3DENUMPIXELFORMATSCALLBACK callback,
                             void* context) override;
  int32_t CreateDevice(const GUID& deviceGuid, DrawSurface* target, Device3D** out) override;
  int32_t CreateViewport(Viewport3D** out) override;

  // ---- Driver side
  bool MakeCurrent() { return active_->MakeCurrent(); }
  // The context drawing happens in now: the driver's own, or the hardware device's.
  GlContext& context() { return *active_; }
  SurfaceDcBridge* dcBridge() const { return options_.dcBridge; }
  bool displayLost() const { return displayLost_; }
  const GlDisplayMode& mode() const { return mode_; }
  void SetDisplayLost(bool lost);
  // Ends every device's pending batch: before anything reads or writes a surface.
  void FlushAll();
  bool KnowsDevice(const GUID& guid) const;
  void DeviceDescriptions(const GUID& guid, D3DDEVICEDESC* hardware,
                          D3DDEVICEDESC* emulation) const;

  void AddDevice(GlDevice* device) { devices_.push_back(device); }
  void RemoveDevice(GlDevice* device);
  void AddSurface(GlSurface* surface) { surfaces_.push_back(surface); }
  void RemoveSurface(GlSurface* surface);
  // A back buffer whose chain was released while references to it remain.
  void AddOrphan(GlSurface* surface) { orphans_.push_back(surface); }
  void RemoveOrphan(GlSurface* surface);

  GlDriverStats& stats() { return stats_; }
  // The program for a texture-stage mode (0 diffuse, 1 modulate, 2 texture), flat or
  // Gouraud colours, affine or perspective texture coordinates; 0 if GL refuses it.
  uint32_t Program(int32_t mode, bool flat, bool affine);
  uint32_t vertexArray() const { return vertexArray_; }
  uint32_t vertexBuffer() const { return vertexBuffer_; }
  uint32_t sampler() const { return sampler_; }

 private:
  ~GlDraw() override;
  std::vector<GlDisplayMode> Modes() const;
  void DeleteSharedGl(bool live);
  // Moves every GL object of the driver into next (surfaces keep their pixels) and draws
  // there from now on. False when next refuses the shader or a surface.
  bool MoveTo(GlContext* next);
  // The context a device of that GUID renders in; null when it cannot be had.
  GlContext* ContextFor(const GUID& deviceGuid);

  GlDriverOptions options_;
  std::shared_ptr<GlContext> hardware_;
  GlContext* active_;
  Window window_{};
  uint32_t cooperativeFlags_ = 0;
  GlDisplayMode mode_;
  bool displayLost_ = false;
  std::vector<GlDevice*> devices_;
  std::vector<GlSurface*> surfaces_;
  std::vector<GlSurface*> orphans_;
  GlDriverStats stats_;
  std::array<uint32_t, 12> programs_{};
  uint32_t vertexArray_ = 0;
  uint32_t vertexBuffer_ = 0;
  uint32_t sampler_ = 0;
};

// SurfacePixels over a pixel store, for the device contexts of GetDC.
class GlStorePixels final : public SurfacePixels {
 public:
  explicit GlStorePixels(GlPixelStore* store) : store_(store) {}
  uint32_t Width() const override { return store_->width(); }
  uint32_t Height() const override { return store_->height(); }
  uint32_t GetRgb(uint32_t x, uint32_t y) const override { return store_->GetRgb(x, y); }
  void SetRgb(uint32_t x, uint32_t y, uint32_t rgb) override { store_->SetRgb(x, y, rgb); }

 private:
  GlPixelStore* store_;
};

enum class GlSurfaceKind {
  Primary,     // front of a flip chain, or a lone primary surface
  BackBuffer,  // the attached back buffer of a flip chain
  Target,      // an off-screen 3-D render target
  Texture,     // a driver-managed texture: pixels kept here, uploaded when bound
  System,      // a system-memory surface: pixels only
};

// One surface. GPU-backed kinds (primary, back buffer, target) live in a GL texture with
// a framebuffer; texture surfaces keep their pixels on the CPU and upload them to a GL
// texture when they are drawn with after a change.
class GlSurface final : public GlObject<DrawSurface, Texture3D> {
 public:
  GlSurface(GlDraw* draw, GlSurfaceKind kind, uint32_t width, uint32_t height,
            const DDPIXELFORMAT& format, uint32_t caps, uint32_t stage);
  bool InitGl();  // GPU storage; false when GL refuses the format or size

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
  int32_t Blt(const RECT* dstRect, DrawSurface* src, const RECT* srcRect,
              uint32_t flags) override;
  int32_t Lock(const RECT* rect, DDSURFACEDESC2* desc, uint32_t flags) override;
  int32_t Unlock(const RECT* rect) override;
  int32_t GetDDInterface(DirectDraw** out) override;
  int32_t SetPalette(DrawPalette* palette) override;

  // ---- Texture3D
  DrawSurface* GetSurface() override { return this; }

  // ---- Driver side
  GlSurfaceKind kind() const { return kind_; }
  GlDraw* draw() const { return draw_.Get(); }
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  const DDPIXELFORMAT& format() const { return format_; }
  bool onGpu() const { return kind_ != GlSurfaceKind::Texture && kind_ != GlSurfaceKind::System; }
  bool lost() const { return lost_; }
  void MarkLost() { lost_ = true; }
  uint32_t framebuffer() const { return framebuffer_; }
  // The GL texture to sample from, uploading changed pixels first (texture surfaces).
  uint32_t BindableTexture();
  void AttachBack(GlSurface* back);
  // Reads the whole surface into store (GPU kinds read back the framebuffer).
  void ReadPixels(GlPixelStore* store);
  // Replaces the whole surface's pixels (GPU kinds upload them).
  void WritePixels(const GlPixelStore& store);
  // Frees an orphaned back buffer when its driver goes: nothing can reach it any more.
  void DeleteOrphan() { delete this; }
  // For a move to another context: reads the pixels a GPU surface holds (the store of the
  // others is kept anyway) and deletes its GL objects, in the context current now; without
  // a live context (live false) it only forgets their names and reads nothing.
  GlPixelStore DropGl(bool live);
  // Makes the GL objects again in the context current now and puts pixels back.
  bool RemakeGl(const GlPixelStore& pixels);

 private:
  ~GlSurface() override;
  void FinalRelease() override;
  void DropHoldings();
  bool dead() const { return !draw_; }

  Ref<GlDraw> draw_;
  GlDraw* owner_;  // the same driver, still known after draw_ was dropped
  GlSurfaceKind kind_;
  uint32_t width_;
  uint32_t height_;
  DDPIXELFORMAT format_;
  GlPixelLayout layout_{};
  uint32_t caps_;
  uint32_t stage_;
  GlPixelStore store_;  // texture and system kinds: the pixels; GPU kinds: while locked
  bool dirty_ = true;   // texture kind: store_ differs from the GL texture
  bool lost_ = false;
  bool locked_ = false;
  bool lockWrites_ = false;
  bool dcOpen_ = false;
  bool orphan_ = false;
  Dc dc_{};
  GlStorePixels dcPixels_{&store_};
  uint32_t texture_ = 0;
  uint32_t framebuffer_ = 0;
  Ref<GlSurface> back_;        // front of a chain: its back buffer
  GlSurface* front_ = nullptr;  // back buffer: the chain's front (not held)
};

class GlPalette final : public GlObject<DrawPalette> {
 public:
  GlPalette(const PALETTEENTRY* entries);
  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t GetEntries(uint32_t start, uint32_t count, PALETTEENTRY* out) override;

 private:
  ~GlPalette() override = default;
  std::array<PALETTEENTRY, 256> entries_{};
};

class GlViewport;

// The state one draw call is made with; consecutive primitives with equal keys share one
// GL draw call.
struct GlBatchKey {
  GlSurface* target = nullptr;
  GlSurface* texture = nullptr;
  int32_t mode = 0;  // 0 diffuse, 1 texture x diffuse, 2 texture
  bool blend = false;
  uint32_t srcBlend = 0;
  uint32_t dstBlend = 0;
  uint32_t minFilter = 0;
  uint32_t magFilter = 0;
  uint32_t address = 0;
  bool flat = false;
  bool affine = false;  // colours and texture coordinates interpolated without perspective
  bool dither = false;
  uint32_t cull = 0;
  uint32_t x = 0, y = 0, w = 0, h = 0;
  friend bool operator==(const GlBatchKey&, const GlBatchKey&) = default;
};

struct GlVertex {
  float x, y, z, w;
  uint8_t r, g, b, a;
  float u, v;
};
static_assert(sizeof(GlVertex) == 28);

class GlDevice final : public GlObject<Device3D> {
 public:
  GlDevice(GlDraw* draw, GlSurface* target, const GUID& guid);

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
  int32_t DrawPrimitiveStrided(uint32_t primitiveType, uint32_t fvf,
                               const D3DDRAWPRIMITIVESTRIDEDDATA& data, uint32_t vertexCount,
                               uint32_t flags) override;

  void Flush();
  GlSurface* target() const { return target_.Get(); }
  void ViewportChanged(GlViewport* viewport);

 private:
  ~GlDevice() override;
  GlBatchKey CurrentKey() const;
  void UpdateViewProjection();

  Ref<GlDraw> draw_;
  Ref<GlSurface> target_;
  GUID guid_;
  std::vector<Ref<GlViewport>> viewports_;
  GlViewport* current_ = nullptr;
  bool inScene_ = false;
  D3DMATRIX world_{};
  D3DMATRIX view_{};
  D3DMATRIX projection_{};
  D3DMATRIX viewProjection_{};  // view x projection x the GL clip adjustment
  std::array<uint32_t, 256> renderStates_{};
  std::array<std::array<uint32_t, 32>, 2> stageStates_{};
  std::array<Ref<GlSurface>, 2> textures_;
  std::vector<GlVertex> pending_;
  std::vector<GlVertex> scratch_;  // the vertices of the primitive being drawn
  GlBatchKey pendingKey_;
};

class GlViewport final : public GlObject<Viewport3D> {
 public:
  explicit GlViewport(GlDraw* draw) : draw_(Ref<GlDraw>::Retain(draw)) {}

  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t SetViewport2(const D3DVIEWPORT2& viewport) override;
  int32_t GetViewport2(D3DVIEWPORT2* out) override;
  int32_t Clear2(uint32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color, float z,
                 uint32_t stencil) override;

  GlDevice* device() const { return device_; }
  void SetDevice(GlDevice* device) { device_ = device; }
  bool isSet() const { return set_; }
  const D3DVIEWPORT2& data() const { return data_; }

 private:
  ~GlViewport() override;
  Ref<GlDraw> draw_;
  GlDevice* device_ = nullptr;  // the device it was added to (which holds it)
  D3DVIEWPORT2 data_{};
  bool set_ = false;
};

}  // namespace nb
