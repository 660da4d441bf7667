// The device and viewport the soak draws on: every frame call is checked the way the
// platform would refuse it (drawing outside BeginScene/EndScene, a vertex format or a
// primitive the scene never uses, positions or matrices that are not finite numbers, a
// texture whose surface is gone) and then dropped, so that millions of frames cost only
// the scene's own work. Texture building is passed to a fake device, so that the scene's
// textures are real fake surfaces.
// Depends on the graphics port and the fake world (to see whether a bound texture is
// alive). Part of the soak tool only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/fake/fake_world.h"
#include "platform/graphics.h"

namespace nb::soak {

struct FrameCounts {
  uint64_t frames = 0;
  uint64_t draws = 0;
  uint64_t vertices = 0;
  uint64_t textureBinds = 0;
  uint32_t peakDrawsPerFrame = 0;
};

class SoakDevice final : public Device3D {
 public:
  // builder: the fake device that textures are built for; world: whose objects bound
  // textures must be.
  SoakDevice(Device3D& builder, fake::FakeWorld& world) : builder_(builder), world_(world) {}

  const FrameCounts& counts() const { return counts_; }
  // The first refused call, in words; empty while every call was fine.
  const std::string& fault() const { return fault_; }

  uint32_t AddRef() override { return ++references_; }
  uint32_t Release() override { return references_ > 0 ? --references_ : 0; }
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

 private:
  int32_t Refuse(const std::string& what, int32_t result);

  Device3D& builder_;
  fake::FakeWorld& world_;
  uint32_t references_ = 1;
  bool inScene_ = false;
  uint32_t drawsThisFrame_ = 0;
  FrameCounts counts_;
  std::string fault_;
};

class SoakViewport final : public Viewport3D {
 public:
  SoakViewport(uint32_t width, uint32_t height);

  uint64_t clears() const { return clears_; }

  uint32_t AddRef() override { return ++references_; }
  uint32_t Release() override { return references_ > 0 ? --references_ : 0; }
  int32_t QueryInterface(const GUID& iid, void** out) override;
  int32_t SetViewport2(const D3DVIEWPORT2& viewport) override;
  int32_t GetViewport2(D3DVIEWPORT2* out) override;
  int32_t Clear2(uint32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color, float z,
                 uint32_t stencil) override;

 private:
  uint32_t references_ = 1;
  D3DVIEWPORT2 data_{};
  uint64_t clears_ = 0;
};

}  // namespace nb::soak
