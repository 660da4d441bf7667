// The Direct3D device and viewport of the OpenGL driver. Vertices are transformed on the
// CPU (world x view x projection in Direct3D's row-vector layout, then into GL's clip
// space with y turned over, so that GL's row 0 is the top row as on the platform), and
// consecutive primitives drawn with the same state are gathered into one GL draw call;
// any state change, clear, read or flip ends the batch first, so the draw order holds.
// Depends on gl_objects.h and OpenGL 3.3 core.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gl/gl_objects.h"

namespace nb {
namespace {

using Matrix = float[4][4];

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  Matrix x;
  Matrix y;
  Matrix r;
  std::memcpy(x, &a, sizeof(x));
  std::memcpy(y, &b, sizeof(y));
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r[i][j] = x[i][0] * y[0][j] + x[i][1] * y[1][j] + x[i][2] * y[2][j] + x[i][3] * y[3][j];
    }
  }
  D3DMATRIX out;
  std::memcpy(&out, r, sizeof(out));
  return out;
}

D3DMATRIX Identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

// From Direct3D's clip space (the viewport's clip volume on x and y, 0..w on z) to GL's
// (-w..w on all three), with y negated so that the top of the viewport is GL's row 0.
D3DMATRIX ClipAdjustment(const D3DVIEWPORT2& v) {
  D3DMATRIX m{};
  m._11 = 2.0f / v.dvClipWidth;
  m._41 = -2.0f * v.dvClipX / v.dvClipWidth - 1.0f;
  m._22 = -2.0f / v.dvClipHeight;
  m._42 = 2.0f * v.dvClipY / v.dvClipHeight - 1.0f;
  m._33 = 2.0f;
  m._43 = -1.0f;
  m._44 = 1.0f;
  return m;
}

GLenum BlendFactor(uint32_t blend, GLenum fallback) {
  switch (blend) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_ONE:
      return GL_ONE;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case 7:  // D3DBLEND_DESTALPHA
      return GL_DST_ALPHA;
    case 8:  // D3DBLEND_INVDESTALPHA
      return GL_ONE_MINUS_DST_ALPHA;
    case 9:  // D3DBLEND_DESTCOLOR
      return GL_DST_COLOR;
    case 10:  // D3DBLEND_INVDESTCOLOR
      return GL_ONE_MINUS_DST_COLOR;
    case 11:  // D3DBLEND_SRCALPHASAT
      return GL_SRC_ALPHA_SATURATE;
    default:
      return fallback;
  }
}

GLint Wrap(uint32_t address) {
  switch (address) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    default:
      return GL_REPEAT;
  }
}

const uint32_t allowedFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;

}  // namespace

GlDevice::GlDevice(GlDraw* draw, GlSurface* target, const GUID& guid)
    : draw_(Ref<GlDraw>::Retain(draw)), target_(Ref<GlSurface>::Retain(target)), guid_(guid) {
  draw_->AddDevice(this);
  world_ = view_ = projection_ = Identity();
  // The platform's defaults for every state the device interprets.
  renderStates_[D3DRENDERSTATE_TEXTUREADDRESS] = D3DTADDRESS_WRAP;
  renderStates_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
  renderStates_[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
  renderStates_[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
  renderStates_[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
  renderStates_[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
  for (uint32_t stage = 0; stage < 2; ++stage) {
    stageStates_[stage][D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    stageStates_[stage][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    stageStates_[stage][D3DTSS_COLORARG2] = D3DTA_CURRENT;
    stageStates_[stage][D3DTSS_ADDRESS] = D3DTADDRESS_WRAP;
    stageStates_[stage][D3DTSS_MAGFILTER] = D3DTFG_POINT;
    stageStates_[stage][D3DTSS_MINFILTER] = D3DTFN_POINT;
  }
  UpdateViewProjection();
}

GlDevice::~GlDevice() {
  for (Ref<GlViewport>& viewport : viewports_) viewport->SetDevice(nullptr);
  draw_->RemoveDevice(this);
}

int32_t GlDevice::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IUnknown || iid == IID_IDirect3DDevice3)) return E_NOINTERFACE;
  *out = static_cast<Device3D*>(this);
  AddRef();
  return S_OK;
}

int32_t GlDevice::GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) {
  if (!hardware && !emulation) return DDERR_INVALIDPARAMS;
  if ((hardware && hardware->dwSize != sizeof(D3DDEVICEDESC)) ||
      (emulation && emulation->dwSize != sizeof(D3DDEVICEDESC))) {
    return DDERR_INVALIDPARAMS;
  }
  draw_->DeviceDescriptions(guid_, hardware, emulation);
  return DD_OK;
}

int32_t GlDevice::EnumTextureFormats(D3DENUMPIXELFORMATSCALLBACK callback, void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  // The driver's order: formats with alpha come first, so a search for the first 16-bit
  // format without alpha has to pass them and finds 5-6-5.
  for (DDPIXELFORMAT format : {GlFormatArgb1555(), GlFormatArgb4444(), GlFormatRgb565(),
                               GlFormatXrgb1555(), GlFormatArgb8888(), GlFormatXrgb8888()}) {
    if (callback(&format, context) == D3DENUMRET_CANCEL) break;
  }
  return DD_OK;
}

int32_t GlDevice::GetRenderTarget(DrawSurface** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  target_->AddRef();
  *out = static_cast<DrawSurface*>(target_.Get());
  return DD_OK;
}

int32_t GlDevice::AddViewport(Viewport3D* viewport) {
  auto* v = dynamic_cast<GlViewport*>(viewport);
  if (!v || v->device()) return DDERR_INVALIDPARAMS;
  viewports_.push_back(Ref<GlViewport>::Retain(v));
  v->SetDevice(this);
  return DD_OK;
}

int32_t GlDevice::SetCurrentViewport(Viewport3D* viewport) {
  auto* v = dynamic_cast<GlViewport*>(viewport);
  if (!v || v->device() != this) return DDERR_INVALIDPARAMS;
  Flush();
  current_ = v;
  UpdateViewProjection();
  return DD_OK;
}

void GlDevice::ViewportChanged(GlViewport* viewport) {
  Flush();
  if (viewport == current_) UpdateViewProjection();
}

void GlDevice::UpdateViewProjection() {
  D3DVIEWPORT2 clip{};
  clip.dvClipX = -1.0f;
  clip.dvClipY = 1.0f;
  clip.dvClipWidth = 2.0f;
  clip.dvClipHeight = 2.0f;
  if (current_ && current_->isSet()) clip = current_->data();
  viewProjection_ = Multiply(Multiply(view_, projection_), ClipAdjustment(clip));
}

int32_t GlDevice::BeginScene() {
  if (inScene_) return D3DERR_SCENE_IN_SCENE;
  if (target_->lost()) return DDERR_SURFACELOST;
  inScene_ = true;
  return DD_OK;
}

int32_t GlDevice::EndScene() {
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  Flush();
  inScene_ = false;
  return DD_OK;
}

int32_t GlDevice::SetTransform(uint32_t state, const D3DMATRIX& matrix) {
  switch (state) {
    case D3DTRANSFORMSTATE_WORLD:
      world_ = matrix;
      return DD_OK;
    case D3DTRANSFORMSTATE_VIEW:
      view_ = matrix;
      break;
    case D3DTRANSFORMSTATE_PROJECTION:
      projection_ = matrix;
      break;
    default:
      return DDERR_INVALIDPARAMS;
  }
  UpdateViewProjection();
  return DD_OK;
}

int32_t GlDevice::SetRenderState(uint32_t state, uint32_t value) {
  if (state == 0 || state >= renderStates_.size()) return DDERR_INVALIDPARAMS;
  renderStates_[state] = value;
  if (state == D3DRENDERSTATE_TEXTUREADDRESS) stageStates_[0][D3DTSS_ADDRESS] = value;
  return DD_OK;
}

int32_t GlDevice::SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) {
  if (stage >= stageStates_.size() || state == 0 || state >= stageStates_[0].size()) {
    return DDERR_INVALIDPARAMS;
  }
  stageStates_[stage][state] = value;
  return DD_OK;
}

int32_t GlDevice::SetTexture(uint32_t stage, Texture3D* texture) {
  if (stage >= textures_.size()) return DDERR_INVALIDPARAMS;
  GlSurface* surface = nullptr;
  if (texture) {
    surface = dynamic_cast<GlSurface*>(texture);
    if (!surface || surface->draw() != draw_.Get()) return DDERR_INVALIDPARAMS;
  }
  if (surface == textures_[stage].Get()) return DD_OK;
  // The pending batch may name the texture about to be let go.
  Flush();
  textures_[stage] = Ref<GlSurface>::Retain(surface);
  return DD_OK;
}

GlBatchKey GlDevice::CurrentKey() const {
  GlBatchKey key;
  key.target = target_.Get();
  const auto& s0 = stageStates_[0];
  GlSurface* texture = textures_[0].Get();
  switch (s0[D3DTSS_COLOROP]) {
    case D3DTOP_MODULATE:
      key.mode = texture ? 1 : 0;
      break;
    case D3DTOP_SELECTARG1:
      key.mode = texture && s0[D3DTSS_COLORARG1] == D3DTA_TEXTURE ? 2 : 0;
      break;
    case D3DTOP_SELECTARG2:
      key.mode = texture && s0[D3DTSS_COLORARG2] == D3DTA_TEXTURE ? 2 : 0;
      break;
    default:  // D3DTOP_DISABLE and anything not offered: the diffuse colour alone
      key.mode = 0;
      break;
  }
  if (key.mode != 0) {
    key.texture = texture;
    key.minFilter = s0[D3DTSS_MINFILTER];
    key.magFilter = s0[D3DTSS_MAGFILTER];
    key.address = s0[D3DTSS_ADDRESS];
    key.affine = renderStates_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] == 0;
  }
  key.blend = renderStates_[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
  if (key.blend) {
    key.srcBlend = renderStates_[D3DRENDERSTATE_SRCBLEND];
    key.dstBlend = renderStates_[D3DRENDERSTATE_DESTBLEND];
  }
  key.flat = renderStates_[D3DRENDERSTATE_SHADEMODE] == D3DSHADE_FLAT;
  key.dither = renderStates_[D3DRENDERSTATE_DITHERENABLE] != 0;
  key.cull = renderStates_[D3DRENDERSTATE_CULLMODE];
  if (current_ && current_->isSet()) {
    const D3DVIEWPORT2& v = current_->data();
    key.x = v.dwX;
    key.y = v.dwY;
    key.w = v.dwWidth;
    key.h = v.dwHeight;
  }
  return key;
}

int32_t GlDevice::DrawPrimitiveStrided(uint32_t primitiveType, uint32_t fvf,
                                       const D3DDRAWPRIMITIVESTRIDEDDATA& data,
                                       uint32_t vertexCount, uint32_t) {
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  if ((fvf & D3DFVF_XYZ) == 0 || (fvf & ~allowedFvf) != 0) return D3DERR_INVALIDVERTEXFORMAT;
  const bool hasDiffuse = (fvf & D3DFVF_DIFFUSE) != 0;
  const bool hasUv = (fvf & D3DFVF_TEX1) != 0;
  if (!data.position.lpvData || (hasDiffuse && !data.diffuse.lpvData) ||
      (hasUv && !data.textureCoords[0].lpvData)) {
    return DDERR_INVALIDPARAMS;
  }
  if (primitiveType != D3DPT_TRIANGLEFAN && primitiveType != D3DPT_TRIANGLESTRIP &&
      primitiveType != D3DPT_TRIANGLELIST) {
    return DDERR_INVALIDPARAMS;
  }
  if (!current_ || !current_->isSet()) return D3DERR_VIEWPORTDATANOTSET;
  if (target_->lost()) return DDERR_SURFACELOST;
  if (vertexCount < 3) return DD_OK;

  GlBatchKey key = CurrentKey();
  // Without texture coordinates there is nothing to sample: the diffuse colour alone.
  if (!hasUv && key.mode != 0) {
    key.mode = 0;
    key.texture = nullptr;
    key.minFilter = key.magFilter = key.address = 0;
    key.affine = false;
  }
  const D3DMATRIX m = Multiply(world_, viewProjection_);
  scratch_.clear();
  bool sameW = true;
  for (uint32_t i = 0; i < vertexCount; ++i) {
    float p[3];
    std::memcpy(p, static_cast<const uint8_t*>(data.position.lpvData) +
                       static_cast<size_t>(i) * data.position.dwStride,
                sizeof(p));
    GlVertex v;
    v.x = p[0] * m._11 + p[1] * m._21 + p[2] * m._31 + m._41;
    v.y = p[0] * m._12 + p[1] * m._22 + p[2] * m._32 + m._42;
    v.z = p[0] * m._13 + p[1] * m._23 + p[2] * m._33 + m._43;
    v.w = p[0] * m._14 + p[1] * m._24 + p[2] * m._34 + m._44;
    D3DCOLOR colour = 0xFFFFFFFFu;
    if (hasDiffuse) {
      std::memcpy(&colour, static_cast<const uint8_t*>(data.diffuse.lpvData) +
                               static_cast<size_t>(i) * data.diffuse.dwStride,
                  sizeof(colour));
    }
    v.r = static_cast<uint8_t>(colour >> 16);
    v.g = static_cast<uint8_t>(colour >> 8);
    v.b = static_cast<uint8_t>(colour);
    v.a = static_cast<uint8_t>(colour >> 24);
    v.u = v.v = 0.0f;
    if (hasUv) {
      float uv[2];
      std::memcpy(uv, static_cast<const uint8_t*>(data.textureCoords[0].lpvData) +
                          static_cast<size_t>(i) * data.textureCoords[0].dwStride,
                  sizeof(uv));
      v.u = uv[0];
      v.v = uv[1];
    }
    sameW = sameW && (scratch_.empty() || v.w == scratch_.front().w);
    scratch_.push_back(v);
  }
  // With one w for every vertex (anything lying in a plane facing the camera, like every
  // sprite and ribbon of the show) perspective-correct interpolation equals the affine
  // one, which a software rasterizer does without a division per pixel.
  if (sameW) key.affine = true;
  if (!pending_.empty() && !(key == pendingKey_)) Flush();
  pendingKey_ = key;

  // Each triangle starts with the vertex Direct3D takes a flat colour from.
  const std::vector<GlVertex>& v = scratch_;
  uint64_t triangles = 0;
  if (primitiveType == D3DPT_TRIANGLEFAN) {
    for (uint32_t i = 2; i < vertexCount; ++i) {
      pending_.insert(pending_.end(), {v[i - 1], v[i], v[0]});
      ++triangles;
    }
  } else if (primitiveType == D3DPT_TRIANGLESTRIP) {
    for (uint32_t i = 0; i + 2 < vertexCount; ++i) {
      if (i % 2 == 0) {
        pending_.insert(pending_.end(), {v[i], v[i + 1], v[i + 2]});
      } else {
        pending_.insert(pending_.end(), {v[i], v[i + 2], v[i + 1]});
      }
      ++triangles;
    }
  } else {
    for (uint32_t i = 0; i + 2 < vertexCount; i += 3) {
      pending_.insert(pending_.end(), {v[i], v[i + 1], v[i + 2]});
      ++triangles;
    }
  }
  GlDriverStats& stats = draw_->stats();
  ++stats.primitiveCalls;
  stats.triangles += triangles;
  // The area the rasterizer will fill: what the frame costs on a software rasterizer.
  for (size_t i = pending_.size() - triangles * 3; i < pending_.size(); i += 3) {
    const GlVertex& a = pending_[i];
    const GlVertex& b = pending_[i + 1];
    const GlVertex& c = pending_[i + 2];
    if (a.w <= 0.0f || b.w <= 0.0f || c.w <= 0.0f) continue;
    const double ax = a.x / a.w, ay = a.y / a.w;
    const double bx = b.x / b.w, by = b.y / b.w;
    const double cx = c.x / c.w, cy = c.y / c.w;
    const double area = std::abs((bx - ax) * (cy - ay) - (cx - ax) * (by - ay)) / 2.0;
    stats.coveredPixels += area * key.w * key.h / 4.0;
  }
  if (pending_.size() >= 65536 * 3) Flush();
  return DD_OK;
}

void GlDevice::Flush() {
  if (pending_.empty()) return;
  const GlBatchKey& k = pendingKey_;
  if (!draw_->MakeCurrent() || !k.target->framebuffer()) {
    pending_.clear();
    return;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, k.target->framebuffer());
  glDisable(GL_SCISSOR_TEST);
  glViewport(static_cast<GLint>(k.x), static_cast<GLint>(k.y), static_cast<GLsizei>(k.w),
             static_cast<GLsizei>(k.h));
  if (k.blend) {
    glEnable(GL_BLEND);
    glBlendFunc(BlendFactor(k.srcBlend, GL_ONE), BlendFactor(k.dstBlend, GL_ZERO));
  } else {
    glDisable(GL_BLEND);
  }
  if (k.cull == D3DCULL_CCW || k.cull == D3DCULL_CW) {
    glEnable(GL_CULL_FACE);
    glCullFace(k.cull == D3DCULL_CCW ? GL_BACK : GL_FRONT);
  } else {
    glDisable(GL_CULL_FACE);
  }
  if (k.dither) {
    glEnable(GL_DITHER);
  } else {
    glDisable(GL_DITHER);
  }
  int32_t mode = k.mode;
  if (k.texture) {
    const uint32_t name = k.texture->BindableTexture();
    if (name) {
      glActiveTexture(GL_TEXTURE0);
      glBindTexture(GL_TEXTURE_2D, name);
      const GLuint sampler = draw_->sampler();
      glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                          k.minFilter == D3DTFN_LINEAR ? GL_LINEAR : GL_NEAREST);
      glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                          k.magFilter == D3DTFG_LINEAR ? GL_LINEAR : GL_NEAREST);
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, Wrap(k.address));
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, Wrap(k.address));
      glBindSampler(0, sampler);
    } else {
      mode = 0;
    }
  }
  const GLuint program = draw_->Program(mode, k.flat, k.affine);
  if (!program) {
    pending_.clear();
    return;
  }
  glUseProgram(program);
  glBindVertexArray(draw_->vertexArray());
  glBindBuffer(GL_ARRAY_BUFFER, draw_->vertexBuffer());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(pending_.size() * sizeof(GlVertex)),
               pending_.data(), GL_STREAM_DRAW);
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(pending_.size()));
  GlDriverStats& stats = draw_->stats();
  ++stats.drawCalls;
  ++stats.flushes;
  pending_.clear();
}

// ---- Viewport

GlViewport::~GlViewport() = default;

int32_t GlViewport::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IUnknown || iid == IID_IDirect3DViewport3)) return E_NOINTERFACE;
  *out = static_cast<Viewport3D*>(this);
  AddRef();
  return S_OK;
}

int32_t GlViewport::SetViewport2(const D3DVIEWPORT2& viewport) {
  if (viewport.dwSize != sizeof(D3DVIEWPORT2) || viewport.dwWidth == 0 ||
      viewport.dwHeight == 0 || !(viewport.dvClipWidth > 0.0f) ||
      !(viewport.dvClipHeight > 0.0f)) {
    return DDERR_INVALIDPARAMS;
  }
  if (device_) {
    const GlSurface* target = device_->target();
    if (static_cast<uint64_t>(viewport.dwX) + viewport.dwWidth > target->width() ||
        static_cast<uint64_t>(viewport.dwY) + viewport.dwHeight > target->height()) {
      return DDERR_INVALIDPARAMS;
    }
  }
  data_ = viewport;
  set_ = true;
  if (device_) device_->ViewportChanged(this);
  return DD_OK;
}

int32_t GlViewport::GetViewport2(D3DVIEWPORT2* out) {
  if (!out || out->dwSize != sizeof(D3DVIEWPORT2)) return DDERR_INVALIDPARAMS;
  if (!set_) return D3DERR_VIEWPORTDATANOTSET;
  *out = data_;
  return DD_OK;
}

int32_t GlViewport::Clear2(uint32_t count, const D3DRECT* rects, uint32_t flags, D3DCOLOR color,
                           float, uint32_t) {
  if (!device_) return D3DERR_VIEWPORTHASNODEVICE;
  if (count > 0 && !rects) return DDERR_INVALIDPARAMS;
  GlSurface* target = device_->target();
  if (target->lost()) return DDERR_SURFACELOST;
  // There is no depth or stencil buffer: only the target is cleared.
  if ((flags & D3DCLEAR_TARGET) == 0 || count == 0) return DD_OK;
  draw_->FlushAll();
  if (!draw_->MakeCurrent()) return DDERR_SURFACELOST;
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = target->width();
  int64_t bottom = target->height();
  if (set_) {
    left = data_.dwX;
    top = data_.dwY;
    right = std::min<int64_t>(right, left + data_.dwWidth);
    bottom = std::min<int64_t>(bottom, top + data_.dwHeight);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer());
  glDisable(GL_DITHER);
  glEnable(GL_SCISSOR_TEST);
  glClearColor(static_cast<float>((color >> 16) & 0xFF) / 255.0f,
               static_cast<float>((color >> 8) & 0xFF) / 255.0f,
               static_cast<float>(color & 0xFF) / 255.0f,
               static_cast<float>(color >> 24) / 255.0f);
  for (uint32_t i = 0; i < count; ++i) {
    const int64_t x1 = std::max<int64_t>(rects[i].x1, left);
    const int64_t y1 = std::max<int64_t>(rects[i].y1, top);
    const int64_t x2 = std::min<int64_t>(rects[i].x2, right);
    const int64_t y2 = std::min<int64_t>(rects[i].y2, bottom);
    if (x1 >= x2 || y1 >= y2) continue;
    glScissor(static_cast<GLint>(x1), static_cast<GLint>(y1), static_cast<GLsizei>(x2 - x1),
              static_cast<GLsizei>(y2 - y1));
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);
  return DD_OK;
}

}  // namespace nb
