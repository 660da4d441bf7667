// The scene: draws the show's lists as one Direct3D frame of additive textured sprites and
// smoke ribbons, and keeps the device objects it needs (the textures) in step with the
// display's life cycle.
// Depends on the show (reads its lists, twinkleAngle and reciprocalTable after a tick and
// never writes them), the camera, the texture manager and the graphics port. The device,
// viewport and rectangle are lent by the display framework for one frame; the scene holds
// no reference to them.
#pragma once

#include <cstdint>

#include "platform/gdi.h"
#include "platform/graphics.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "show/records.h"

namespace nb {

// One vertex of both fixed arrays: position, diffuse colour, one texture coordinate set.
struct SceneVertex {
    float x;
    float y;
    float z;
    D3DCOLOR diffuse;
    float tu;
    float tv;
};
static_assert(sizeof(SceneVertex) == 24);

inline constexpr uint32_t sceneVertexStride = sizeof(SceneVertex);
inline constexpr uint32_t texturedVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
inline constexpr uint32_t plainVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE;

// Draw-state ids of SetDrawState: 0 untextured, the texture ids named by their resource
// number, 98 additive blending, 99 opaque.
inline constexpr int32_t drawUntextured = 0;
inline constexpr int32_t drawStarTexture = 1;     // "401"
inline constexpr int32_t drawPuffTexture = 2;     // "402"
inline constexpr int32_t drawSparkleTexture = 4;  // "404"
inline constexpr int32_t drawCloudTexture = 5;    // "405"
inline constexpr int32_t drawTrailTexture = 6;    // "406"
inline constexpr int32_t drawBandTexture = 7;     // "407"
inline constexpr int32_t drawAdditive = 98;
inline constexpr int32_t drawOpaque = 99;

// The bitmap resources of the texture set, in the order they are created.
inline constexpr uint32_t sceneTextureIds[6] = {401, 402, 404, 405, 406, 407};

struct SceneState {
    // Lent for the frame being drawn by SceneRender.
    Device3D* device = nullptr;
    Viewport3D* viewport = nullptr;
    D3DRECT clearRect{};

    // A square sprite and a six-vertex ribbon, rewritten in place before each draw.
    SceneVertex spriteQuad[4] = {};
    SceneVertex ribbonFan[6] = {};
    D3DDRAWPRIMITIVESTRIDEDDATA spriteData{};
    D3DDRAWPRIMITIVESTRIDEDDATA ribbonData{};

    // The last draw state set; -1 before the first. Shared by texture and blend ids and
    // never reset, so it always describes the device's real state.
    int32_t currentDrawState = -1;
    // Whether sprites carry texture coordinates (false while state 0 is set).
    bool texturing = false;
};

extern SceneState scene;

// Fills the vertex arrays and their descriptors, sets the ports of the texture manager and
// creates the six texture entries (bitmaps only). Always 0.
int32_t SceneInit(System& system, Gdi& gdi);

// After each display build: textures for the device, WORLD identity, VIEW of the camera,
// PROJECTION from the viewport's aspect, and the fixed render and filter states.
// 0, or E_INVALIDARG when device or viewport is null. Device results are ignored.
int32_t SceneInitDevice(Device3D* device, Viewport3D* viewport);

// Before the display is torn down: drops the texture surfaces; the bitmaps stay. The
// arguments are not used. Always 0.
int32_t SceneReleaseDevice(Device3D* device, Viewport3D* viewport);

// After a surface loss: nothing, the textures are driver-managed. Always 0.
int32_t SceneRestoreSurfaces();

// Draws one frame of the show between BeginScene and EndScene after clearing clearRect
// (the framework's viewport rectangle) to black. A failed BeginScene skips the frame.
// A null device draws nothing; a null viewport or rectangle skips the clear. Always 0.
int32_t SceneRender(Device3D* device, Viewport3D* viewport, const RECT* clearRect);

// Switches the frame's device to draw state id unless it is already current.
void SetDrawState(int32_t id);

// One square sprite of half-size size at (x, y), turned by angle degrees, coloured
// (r, g, b) x brightness.
void DrawSprite(float x, float y, float r, float g, float b, float brightness, float size, float angle);

// One smoke ribbon from the trail's tail to its head.
void DrawTrailRibbon(const SmokeTrail& trail);

// The colour rule: each channel truncated from component x brightness, kept within
// 0..255, as 0x00RRGGBB.
D3DCOLOR SceneColour(float r, float g, float b, float brightness);

}  // namespace nb
