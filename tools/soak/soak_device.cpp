// The soak's checking device and viewport.
#include "soak_device.h"

#include <cmath>

namespace nb::soak {

namespace {

bool Finite(const float* values, int count) {
  for (int i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) return false;
  }
  return true;
}

constexpr uint32_t texturedFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr uint32_t plainFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE;

}  // namespace

int32_t SoakDevice::Refuse(const std::string& what, int32_t result) {
  if (fault_.empty()) fault_ = what;
  return result;
}

int32_t SoakDevice::QueryInterface(const GUID&, void** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

int32_t SoakDevice::GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) {
  return builder_.GetCaps(hardware, emulation);
}

int32_t SoakDevice::EnumTextureFormats(D3DENUMPIXELFORMATSCALLBACK callback, void* context) {
  return builder_.EnumTextureFormats(callback, context);
}

int32_t SoakDevice::GetRenderTarget(DrawSurface** out) { return builder_.GetRenderTarget(out); }

int32_t SoakDevice::AddViewport(Viewport3D* viewport) {
  return viewport ? DD_OK : Refuse("AddViewport without a viewport", DDERR_INVALIDPARAMS);
}

int32_t SoakDevice::SetCurrentViewport(Viewport3D* viewport) {
  return viewport ? DD_OK : Refuse("SetCurrentViewport without a viewport", DDERR_INVALIDPARAMS);
}

int32_t SoakDevice::BeginScene() {
  if (inScene_) return Refuse("BeginScene inside a scene", D3DERR_SCENE_IN_SCENE);
  inScene_ = true;
  drawsThisFrame_ = 0;
  return DD_OK;
}

int32_t SoakDevice::EndScene() {
  if (!inScene_) return Refuse("EndScene outside a scene", D3DERR_SCENE_NOT_IN_SCENE);
  inScene_ = false;
  ++counts_.frames;
  if (drawsThisFrame_ > counts_.peakDrawsPerFrame) counts_.peakDrawsPerFrame = drawsThisFrame_;
  return DD_OK;
}

int32_t SoakDevice::SetTransform(uint32_t state, const D3DMATRIX& matrix) {
  if (state < D3DTRANSFORMSTATE_WORLD || state > D3DTRANSFORMSTATE_PROJECTION) {
    return Refuse("SetTransform of an unknown state", DDERR_INVALIDPARAMS);
  }
  if (!Finite(&matrix._11, 16)) return Refuse("a transform that is not finite", DDERR_INVALIDPARAMS);
  return DD_OK;
}

int32_t SoakDevice::SetRenderState(uint32_t state, uint32_t) {
  return state != 0 && state <= 255 ? DD_OK : Refuse("SetRenderState of an unknown state", DDERR_INVALIDPARAMS);
}

int32_t SoakDevice::SetTextureStageState(uint32_t stage, uint32_t state, uint32_t) {
  return stage < 8 && state != 0 && state <= 24 ? DD_OK
                                                : Refuse("SetTextureStageState out of range", DDERR_INVALIDPARAMS);
}

int32_t SoakDevice::SetTexture(uint32_t stage, Texture3D* texture) {
  if (stage >= 8) return Refuse("SetTexture of a stage out of range", DDERR_INVALIDPARAMS);
  if (texture && !world_.IsAlive(texture->GetSurface())) return Refuse("a texture whose surface is gone", DDERR_INVALIDPARAMS);
  ++counts_.textureBinds;
  return DD_OK;
}

int32_t SoakDevice::DrawPrimitiveStrided(uint32_t primitiveType, uint32_t fvf, const D3DDRAWPRIMITIVESTRIDEDDATA& data,
                                         uint32_t vertexCount, uint32_t) {
  if (!inScene_) return Refuse("drawing outside a scene", D3DERR_SCENE_NOT_IN_SCENE);
  if (fvf != texturedFormat && fvf != plainFormat) return Refuse("an unexpected vertex format", D3DERR_INVALIDVERTEXFORMAT);
  if (primitiveType != D3DPT_TRIANGLEFAN || vertexCount < 3 || vertexCount > 6) {
    return Refuse("an unexpected primitive", DDERR_INVALIDPARAMS);
  }
  if (!data.position.lpvData || !data.diffuse.lpvData || ((fvf & D3DFVF_TEX1) && !data.textureCoords[0].lpvData)) {
    return Refuse("a draw without its vertex data", DDERR_INVALIDPARAMS);
  }
  for (uint32_t i = 0; i < vertexCount; ++i) {
    const auto* position =
        reinterpret_cast<const float*>(static_cast<const uint8_t*>(data.position.lpvData) + size_t{i} * data.position.dwStride);
    if (!Finite(position, 3)) return Refuse("a vertex that is not finite", DDERR_INVALIDPARAMS);
    if (fvf & D3DFVF_TEX1) {
      const auto* uv = reinterpret_cast<const float*>(static_cast<const uint8_t*>(data.textureCoords[0].lpvData) +
                                                      size_t{i} * data.textureCoords[0].dwStride);
      if (!Finite(uv, 2)) return Refuse("texture coordinates that are not finite", DDERR_INVALIDPARAMS);
    }
  }
  ++counts_.draws;
  ++drawsThisFrame_;
  counts_.vertices += vertexCount;
  return DD_OK;
}

SoakViewport::SoakViewport(uint32_t width, uint32_t height) {
  data_.dwSize = sizeof data_;
  data_.dwWidth = width;
  data_.dwHeight = height;
  data_.dvClipX = -1.0f;
  data_.dvClipY = 1.0f;
  data_.dvClipWidth = 2.0f;
  data_.dvClipHeight = 2.0f;
  data_.dvMaxZ = 1.0f;
}

int32_t SoakViewport::QueryInterface(const GUID&, void** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

int32_t SoakViewport::SetViewport2(const D3DVIEWPORT2& viewport) {
  if (viewport.dwSize != sizeof(D3DVIEWPORT2)) return DDERR_INVALIDPARAMS;
  data_ = viewport;
  return DD_OK;
}

int32_t SoakViewport::GetViewport2(D3DVIEWPORT2* out) {
  if (!out || out->dwSize != sizeof(D3DVIEWPORT2)) return DDERR_INVALIDPARAMS;
  *out = data_;
  return DD_OK;
}

int32_t SoakViewport::Clear2(uint32_t count, const D3DRECT* rects, uint32_t, D3DCOLOR, float, uint32_t) {
  if (count == 0 || !rects) return DDERR_INVALIDPARAMS;
  ++clears_;
  return DD_OK;
}

}  // namespace nb::soak
