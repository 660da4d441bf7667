// Drawing the show: the fixed vertex arrays, the draw-state cache, sprites, ribbons and the
// frame itself, plus the scene's part in the display's life cycle.
// Depends on the show's lists (read only), the camera and the texture manager. Allocates
// nothing per frame: one SetTransform(WORLD) and one strided fan per sprite or ribbon.
#include "scene/scene.h"

#include <cmath>

#include "scene/camera.h"
#include "scene/textures.h"
#include "show/show.h"

namespace nb {

SceneState scene;

namespace {

constexpr SceneVertex spriteQuadVertices[4] = {
    {1.0f, -1.0f, 0.0f, 0, 0.0f, 1.0f},
    {1.0f, 1.0f, 0.0f, 0, 0.0f, 0.0f},
    {-1.0f, 1.0f, 0.0f, 0, 1.0f, 0.0f},
    {-1.0f, -1.0f, 0.0f, 0, 1.0f, 1.0f},
};

// Local y runs from the tail (0) to the head (1); the tv values of the middle and the head
// are set per ribbon.
constexpr SceneVertex ribbonFanVertices[6] = {
    {1.0f, 0.5f, 0.0f, 0, 1.0f, 0.0f},
    {1.0f, 1.0f, 0.0f, 0, 1.0f, 0.0f},
    {-1.0f, 1.0f, 0.0f, 0, 0.0f, 0.0f},
    {-1.0f, 0.5f, 0.0f, 0, 0.0f, 0.0f},
    {-1.0f, 0.0f, 0.0f, 0, 0.0f, 0.0f},
    {1.0f, 0.0f, 0.0f, 0, 1.0f, 0.0f},
};

D3DDRAWPRIMITIVESTRIDEDDATA Describe(const SceneVertex* vertices) {
    D3DDRAWPRIMITIVESTRIDEDDATA data{};
    data.position = {&vertices[0].x, sceneVertexStride};
    data.diffuse = {&vertices[0].diffuse, sceneVertexStride};
    data.textureCoords[0] = {&vertices[0].tu, sceneVertexStride};
    return data;
}

const char* TextureNameOf(int32_t id) {
    switch (id) {
        case drawStarTexture: return "401";
        case drawPuffTexture: return "402";
        case drawSparkleTexture: return "404";
        case drawCloudTexture: return "405";
        case drawTrailTexture: return "406";
        case drawBandTexture: return "407";
        default: return nullptr;
    }
}

uint32_t Channel(float component, float brightness) {
    const float value = component * brightness;
    // Out-of-range light would spill into the neighbouring channel of the packed colour.
    if (!(value > 0.0f)) {
        return 0;
    }
    if (value >= 255.0f) {
        return 255;
    }
    return static_cast<uint32_t>(value);
}

template <class Record, class Draw>
void Walk(const RecordList<Record>& list, Draw draw) {
    for (const Record* record = list.head; record != nullptr;) {
        const Record* next = record->next;
        draw(*record);
        record = next;
    }
}

void PrepareVertexArrays() {
    for (int i = 0; i < 4; ++i) {
        scene.spriteQuad[i] = spriteQuadVertices[i];
    }
    for (int i = 0; i < 6; ++i) {
        scene.ribbonFan[i] = ribbonFanVertices[i];
    }
    scene.spriteData = Describe(scene.spriteQuad);
    scene.ribbonData = Describe(scene.ribbonFan);
}

}  // namespace

D3DCOLOR SceneColour(float r, float g, float b, float brightness) {
    return Channel(r, brightness) << 16 | Channel(g, brightness) << 8 | Channel(b, brightness);
}

int32_t SceneInit(System& system, Gdi& gdi) {
    PrepareVertexArrays();

    TextureUsePlatform(&system, &gdi);
    for (uint32_t id : sceneTextureIds) {
        TextureCreate(id, 0);
    }
    return S_OK;
}

int32_t SceneInitDevice(Device3D* device, Viewport3D* viewport) {
    if (device == nullptr || viewport == nullptr) {
        return E_INVALIDARG;
    }
    TextureRestoreAll(device);

    D3DVIEWPORT2 view{};
    view.dwSize = sizeof(D3DVIEWPORT2);
    const int32_t viewResult = viewport->GetViewport2(&view);

    D3DMATRIX world;
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, IdentityMatrix(world));
    // A viewport that cannot be read or has no area gives no aspect; the projection
    // is then left as the device has it rather than built from a division by zero.
    if (Succeeded(viewResult) && view.dwWidth > 0 && view.dwHeight > 0) {
        const float aspect = static_cast<float>(view.dwWidth) / static_cast<float>(view.dwHeight);
        D3DMATRIX projection;
        if (Succeeded(PerspectiveMatrix(projection, cameraFieldOfView, aspect, cameraNear, cameraFar))) {
            device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
        }
    }
    // A frame drawn before the first tick then already sees the show through the camera.
    UpdateCamera(device);

    device->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1);
    device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 0);
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    for (uint32_t stage = 0; stage < 2; ++stage) {
        device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTFN_LINEAR);
        device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    }
    return S_OK;
}

int32_t SceneReleaseDevice(Device3D*, Viewport3D*) {
    TextureInvalidateAll();
    return S_OK;
}

int32_t SceneRestoreSurfaces() { return S_OK; }

void SetDrawState(int32_t id) {
    Device3D* device = scene.device;
    if (device == nullptr || id == scene.currentDrawState) {
        return;
    }
    if (id != drawUntextured && scene.currentDrawState == drawUntextured) {
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    }
    scene.currentDrawState = id;
    scene.texturing = true;
    switch (id) {
        case drawUntextured:
            device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
            scene.texturing = false;
            break;
        case drawAdditive:
            device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
            device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
            device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
            break;
        case drawOpaque:
            device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
            break;
        default:
            if (const char* name = TextureNameOf(id)) {
                device->SetTexture(0, TextureGet(name));
            }
            break;
    }
}

void DrawSprite(float x, float y, float r, float g, float b, float brightness, float size, float angle) {
    Device3D* device = scene.device;
    if (device == nullptr) {
        return;
    }
    const float theta = angle * 3.141592654f * show.reciprocalTable[180];
    D3DMATRIX m;
    RotationZMatrix(m, theta);
    m._11 *= size;
    m._12 *= size;
    m._21 *= size;
    m._22 *= size;
    m._41 += x;
    m._42 += y;
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, m);

    const D3DCOLOR colour = SceneColour(r, g, b, brightness);
    for (SceneVertex& vertex : scene.spriteQuad) {
        vertex.diffuse = colour;
    }
    device->DrawPrimitiveStrided(D3DPT_TRIANGLEFAN, scene.texturing ? texturedVertexFormat : plainVertexFormat,
                                 scene.spriteData, 4, 0);
}

void DrawTrailRibbon(const SmokeTrail& trail) {
    Device3D* device = scene.device;
    if (device == nullptr) {
        return;
    }
    const Point2 tail = trail.tail;
    const Point2 head = trail.head;
    const float length = ApproxDistance(tail, head);
    // The differences are the show's single-precision ones; the angle itself is double.
    const float dy = head.y - tail.y;
    const float dx = head.x - tail.x;
    const float theta = static_cast<float>(std::atan2(static_cast<double>(dy), static_cast<double>(dx)) - 1.570796327);
    D3DMATRIX m;
    RotationZMatrix(m, theta);
    m._11 *= trail.width;
    m._12 *= trail.width;
    m._21 *= length;
    m._22 *= length;
    m._41 += tail.x;
    m._42 += tail.y;
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, m);

    SceneVertex* fan = scene.ribbonFan;
    if (trail.kind == FountainTrail) {
        SetDrawState(drawBandTexture);
        fan[0].tv = fan[3].tv = 0.5f;
        fan[1].tv = fan[2].tv = 1.0f;
    } else {
        SetDrawState(drawTrailTexture);
        fan[0].tv = fan[3].tv = 0.1f * length;
        fan[1].tv = fan[2].tv = 0.2f * length;
    }
    fan[4].tv = fan[5].tv = 0.0f;

    const float k = trail.alpha;
    fan[0].diffuse = fan[3].diffuse = SceneColour(trail.midColour.r, trail.midColour.g, trail.midColour.b, k);
    fan[1].diffuse = fan[2].diffuse = SceneColour(trail.headColour.r, trail.headColour.g, trail.headColour.b, k);
    fan[4].diffuse = fan[5].diffuse = SceneColour(trail.tailColour.r, trail.tailColour.g, trail.tailColour.b, k);

    device->DrawPrimitiveStrided(D3DPT_TRIANGLEFAN, texturedVertexFormat, scene.ribbonData, 6, 0);
}

int32_t SceneRender(Device3D* device, Viewport3D* viewport, const RECT* clearRect) {
    scene.device = device;
    scene.viewport = viewport;
    if (clearRect != nullptr) {
        scene.clearRect = D3DRECT{clearRect->left, clearRect->top, clearRect->right, clearRect->bottom};
    }
    if (device == nullptr || Failed(device->BeginScene())) {
        return S_OK;
    }
    // A frame requested before SceneInit must not hand the device null vertex pointers.
    if (scene.spriteData.position.lpvData == nullptr) {
        PrepareVertexArrays();
    }
    if (viewport != nullptr && clearRect != nullptr) {
        viewport->Clear2(1, &scene.clearRect, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    }
    device->SetRenderState(D3DRENDERSTATE_TEXTUREADDRESS, D3DTADDRESS_WRAP);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);

    // Sky stars: the only opaque primitives, dim grey diamonds whatever their record says.
    SetDrawState(drawOpaque);
    SetDrawState(drawUntextured);
    Walk(show.skyStars, [](const Particle& p) { DrawSprite(p.x, p.y, 90.0f, 90.0f, 90.0f, 1.0f, 0.15f, 45.0f); });

    // Everything after the sky adds its light.
    SetDrawState(drawAdditive);
    SetDrawState(drawPuffTexture);
    Walk(show.smokePuffs, [](const Shell& s) {
        if (s.age != 0) DrawSprite(s.x, s.y, s.r, s.g, s.b, s.alpha, s.size, s.angle);
    });
    Walk(show.smokeTrails, [](const SmokeTrail& t) {
        if (t.age != 0) DrawTrailRibbon(t);
    });
    SetDrawState(drawCloudTexture);
    Walk(show.smokeClouds, [](const Shell& s) {
        if (s.age != 0) DrawSprite(s.x, s.y, s.r, s.g, s.b, s.alpha, s.size, s.angle);
    });
    SetDrawState(drawStarTexture);
    const auto star = [](const Particle& p) { DrawSprite(p.x, p.y, p.r, p.g, p.b, p.alpha, 0.75f, 0.0f); };
    Walk(show.burstStars, star);
    Walk(show.ringStars, star);
    // Glitter and shell heads turn to a new random angle every tick, in opposite senses.
    SetDrawState(drawSparkleTexture);
    const float twinkle = show.twinkleAngle;
    Walk(show.glitter, [twinkle](const Particle& p) { DrawSprite(p.x, p.y, p.r, p.g, p.b, p.alpha, 0.9f, -twinkle); });
    Walk(show.shells, [twinkle](const Shell& s) {
        if (s.type >= Rocket && s.type <= LowCascade && s.age > 0) {
            DrawSprite(s.x, s.y, s.r, s.g, s.b, s.alpha, s.size, twinkle);
        }
    });
    SetDrawState(drawUntextured);
    Walk(show.sparks, [](const Particle& p) { DrawSprite(p.x, p.y, p.r, p.g, p.b, p.alpha, 0.2f, 45.0f); });

    device->EndScene();
    return S_OK;
}

}  // namespace nb
