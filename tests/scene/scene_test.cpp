// The scene on the fake device: set-up, the frame's clear and states, the draw order of
// the lists and the records left out, the draw-state cache across frames, colours, and
// the world matrices and texture coordinates of sprites and ribbons.
#include <cmath>
#include <vector>

#include "scene/camera.h"
#include "scene_fixture.h"

namespace nb::test {
namespace {

using Kind = fake::DeviceCommand::Kind;

Particle* Star(RecordList<Particle>& list, float x, float r = 200.0f, float g = 100.0f, float b = 50.0f) {
    return AddParticle(list, Point2{x, 1.0f}, r, g, b, false);
}

Shell* Object(RecordList<Shell>& list, int32_t type, float x, int32_t age) {
    Shell* shell = AddShell(list, type, Point2{x, 2.0f}, 100.0f, 100.0f, 100.0f);
    shell->age = age;
    shell->size = 1.5f;
    shell->angle = 30.0f;
    return shell;
}

// A ribbon let go by its owner, so that it lives in smokeTrails alone.
SmokeTrail* Trail(int32_t kind, Point2 tail, Point2 head, int32_t age = 1) {
    Shell* owner = AddShell(show.shells, kind == FountainTrail ? Fountain : Rocket, tail, 0.0f, 0.0f, 0.0f);
    SmokeTrail* trail = AttachShellTrail(owner);
    RemoveShell(show.shells, owner);
    trail->kind = kind;
    trail->age = age;
    trail->alpha = 0.5f;
    trail->tail = tail;
    trail->head = head;
    trail->midColour = {100.0f, 100.0f, 100.0f};
    trail->headColour = {200.0f, 200.0f, 200.0f};
    trail->tailColour = {50.0f, 60.0f, 70.0f};
    trail->width = 1.0f;
    return trail;
}

TEST_F(SceneTest, InitFillsVertexArraysAndCreatesTextureEntriesNewestFirst) {
    fake.system.RemoveResource("BITMAP", 405);
    ASSERT_EQ(SceneInit(fake.system, fake.gdi), S_OK);

    const SceneVertex quad[4] = {{1, -1, 0, 0, 0, 1}, {1, 1, 0, 0, 0, 0}, {-1, 1, 0, 0, 1, 0}, {-1, -1, 0, 0, 1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(scene.spriteQuad[i].x, quad[i].x);
        EXPECT_EQ(scene.spriteQuad[i].y, quad[i].y);
        EXPECT_EQ(scene.spriteQuad[i].tu, quad[i].tu);
        EXPECT_EQ(scene.spriteQuad[i].tv, quad[i].tv);
    }
    const float fan[6][3] = {{1, 0.5f, 1}, {1, 1, 1}, {-1, 1, 0}, {-1, 0.5f, 0}, {-1, 0, 0}, {1, 0, 1}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(scene.ribbonFan[i].x, fan[i][0]);
        EXPECT_EQ(scene.ribbonFan[i].y, fan[i][1]);
        EXPECT_EQ(scene.ribbonFan[i].tu, fan[i][2]);
    }
    EXPECT_EQ(scene.spriteData.position.lpvData, &scene.spriteQuad[0].x);
    EXPECT_EQ(scene.spriteData.diffuse.lpvData, &scene.spriteQuad[0].diffuse);
    EXPECT_EQ(scene.ribbonData.textureCoords[0].lpvData, &scene.ribbonFan[0].tu);
    EXPECT_EQ(scene.ribbonData.textureCoords[0].dwStride, 24u);

    std::vector<std::string> names;
    for (TextureEntry* e = textureList.head; e != nullptr; e = e->next) names.push_back(e->name);
    EXPECT_EQ(names, (std::vector<std::string>{"407", "406", "405", "404", "402", "401"}));
    for (const fake::Call& call : fake.world.CallsNamed("System::LoadImageA")) {
        EXPECT_EQ(call.args[1], LR_CREATEDIBSECTION);
    }
    // The missing bitmap still gives an entry, which never gets a surface.
    EXPECT_TRUE(IsNone(TextureFind("405")->bitmap));
    EXPECT_FALSE(IsNone(TextureFind("404")->bitmap));
}

TEST_F(SceneTest, InitDeviceRefusesNullArguments) {
    MakeDevice();
    ASSERT_EQ(SceneInit(fake.system, fake.gdi), S_OK);
    fake.world.ClearCalls();
    EXPECT_EQ(SceneInitDevice(nullptr, viewport.Get()), E_INVALIDARG);
    EXPECT_EQ(SceneInitDevice(device.Get(), nullptr), E_INVALIDARG);
    EXPECT_EQ(fake.world.Calls().size(), 0u);
    EXPECT_EQ(TextureGet("401"), nullptr);
}

TEST_F(SceneTest, InitDeviceBuildsTexturesTransformsAndFixedStates) {
    MakeDevice();
    ASSERT_EQ(SceneInit(fake.system, fake.gdi), S_OK);
    ASSERT_EQ(SceneInitDevice(device.Get(), viewport.Get()), S_OK);
    for (const char* name : {"401", "402", "404", "405", "406", "407"}) EXPECT_NE(TextureGet(name), nullptr) << name;

    const D3DMATRIX& world = fakeDevice->transforms.at(D3DTRANSFORMSTATE_WORLD);
    EXPECT_EQ(world._11, 1.0f);
    EXPECT_EQ(world._41, 0.0f);
    const D3DMATRIX& projection = fakeDevice->transforms.at(D3DTRANSFORMSTATE_PROJECTION);
    EXPECT_FLOAT_EQ(projection._11, 1.05f);
    EXPECT_FLOAT_EQ(projection._22, 1.4f);
    EXPECT_EQ(fakeDevice->transforms.at(D3DTRANSFORMSTATE_VIEW)._43, 100.0f);

    EXPECT_EQ(fakeDevice->renderStates.at(D3DRENDERSTATE_TEXTUREPERSPECTIVE), 1u);
    EXPECT_EQ(fakeDevice->renderStates.at(D3DRENDERSTATE_DITHERENABLE), 1u);
    EXPECT_EQ(fakeDevice->renderStates.at(D3DRENDERSTATE_SPECULARENABLE), 0u);
    EXPECT_EQ(fakeDevice->renderStates.at(D3DRENDERSTATE_SHADEMODE), D3DSHADE_GOURAUD);
    std::vector<std::pair<uint32_t, uint32_t>> filters;
    for (const auto& c : fakeDevice->commands) {
        if (c.kind == Kind::SetTextureStageState) {
            filters.push_back({c.a, c.b});
            EXPECT_EQ(c.value, 2u);  // D3DTFN_LINEAR / D3DTFG_LINEAR
        }
    }
    EXPECT_EQ(filters, (std::vector<std::pair<uint32_t, uint32_t>>{
                           {0, D3DTSS_MINFILTER}, {0, D3DTSS_MAGFILTER}, {1, D3DTSS_MINFILTER}, {1, D3DTSS_MAGFILTER}}));

    // Released with the display, built again with the next one; bitmaps stay throughout.
    EXPECT_EQ(SceneReleaseDevice(nullptr, nullptr), S_OK);
    EXPECT_EQ(TextureGet("404"), nullptr);
    EXPECT_FALSE(IsNone(TextureFind("404")->bitmap));
    EXPECT_EQ(SceneRestoreSurfaces(), S_OK);
    ASSERT_EQ(SceneInitDevice(device.Get(), viewport.Get()), S_OK);
    EXPECT_NE(TextureGet("404"), nullptr);
}

TEST_F(SceneTest, UnreadableViewportLeavesProjectionAloneAndCameraSetsView) {
    MakeDevice();
    ASSERT_EQ(SceneInit(fake.system, fake.gdi), S_OK);
    fake.FailCall("GetViewport2", D3DERR_VIEWPORTDATANOTSET);
    ASSERT_EQ(SceneInitDevice(device.Get(), viewport.Get()), S_OK);
    EXPECT_EQ(fakeDevice->transforms.count(D3DTRANSFORMSTATE_PROJECTION), 0u);
    EXPECT_NE(TextureGet("401"), nullptr);

    fakeDevice->ClearRecords();
    UpdateCamera(device.Get());
    UpdateCamera(nullptr);
    ASSERT_EQ(fakeDevice->commands.size(), 1u);
    EXPECT_EQ(fakeDevice->commands[0].a, D3DTRANSFORMSTATE_VIEW);
    EXPECT_EQ(fakeDevice->commands[0].matrix._43, 100.0f);
    EXPECT_EQ(fakeDevice->commands[0].matrix._11, 1.0f);
}

TEST_F(SceneTest, EmptyShowIsABlackClearWithFrameStates) {
    StartScene();
    static_cast<FakeSurface*>(target.Get())->pixels().Fill(0x77);
    Render();
    ASSERT_EQ(fakeDevice->clears.size(), 1u);
    const fake::FakeClear& clear = fakeDevice->clears[0];
    ASSERT_EQ(clear.rects.size(), 1u);
    EXPECT_EQ(clear.rects[0].x2, 640);
    EXPECT_EQ(clear.rects[0].y2, 480);
    EXPECT_EQ(clear.flags, D3DCLEAR_TARGET);
    EXPECT_EQ(clear.color, 0u);
    EXPECT_EQ(clear.z, 1.0f);
    EXPECT_EQ(clear.stencil, 0u);
    EXPECT_TRUE(fakeDevice->draws.empty());
    EXPECT_EQ(fakeDevice->renderStates.at(D3DRENDERSTATE_TEXTUREADDRESS), D3DTADDRESS_WRAP);
    EXPECT_EQ(fakeDevice->renderStates.at(D3DRENDERSTATE_CULLMODE), D3DCULL_NONE);
    EXPECT_EQ(fakeDevice->scenes, 1u);
    EXPECT_EQ(fakeDevice->commands.front().kind, Kind::BeginScene);
    EXPECT_EQ(fakeDevice->commands[1].kind, Kind::Clear);
    EXPECT_EQ(fakeDevice->commands.back().kind, Kind::EndScene);
    EXPECT_EQ(static_cast<FakeSurface*>(target.Get())->Pixel(320, 240), (Rgb{0, 0, 0}));
}

TEST_F(SceneTest, FailedBeginSceneSkipsTheFrame) {
    StartScene();
    Star(show.burstStars, 1.0f);
    fake.FailCall("BeginScene", DDERR_SURFACELOST);
    fake.world.ClearCalls();
    Render();
    EXPECT_EQ(fake.world.CountCalls("Clear2"), 0u);
    EXPECT_EQ(fake.world.CountCalls("EndScene"), 0u);
    EXPECT_EQ(fake.world.CountCalls("DrawPrimitiveStrided"), 0u);
    EXPECT_EQ(fake.world.CountCalls("SetRenderState"), 0u);
}

TEST_F(SceneTest, ListsAreDrawnInFixedOrderWithTheirStates) {
    StartScene();
    // Each record is told apart by its x position.
    Star(show.sparks, 9.0f);
    Object(show.shells, Rocket, 8.0f, 5);
    Star(show.glitter, 7.0f);
    Star(show.ringStars, 6.0f);
    Star(show.burstStars, 5.0f);
    Object(show.smokeClouds, SmokeCloud, 4.0f, 3);
    Trail(ShellTrail, {3.0f, 0.0f}, {3.0f, 10.0f});
    Object(show.smokePuffs, SmokePuff, 2.0f, 3);
    Star(show.skyStars, 1.0f);
    Render();

    ASSERT_EQ(fakeDevice->draws.size(), 9u);
    const char* textures[9] = {nullptr, "402", "406", "405", "401", "401", "404", "404", nullptr};
    for (size_t i = 0; i < 9; ++i) {
        const fake::FakeDraw& draw = fakeDevice->draws[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(draw.world._41, static_cast<float>(i + 1));
        EXPECT_EQ(draw.primitiveType, D3DPT_TRIANGLEFAN);
        EXPECT_EQ(draw.vertices.size(), i == 2 ? 6u : 4u);
        const bool textured = textures[i] != nullptr;
        EXPECT_EQ(draw.fvf, textured ? 0x142u : 0x042u);
        EXPECT_EQ(draw.colorOp0, textured ? D3DTOP_MODULATE : D3DTOP_DISABLE);
        if (textured) {
            EXPECT_EQ(draw.texture, TextureGet(textures[i]));
        }
        // Only the sky is opaque; the sparks stay additive although untextured.
        EXPECT_EQ(draw.renderStates.at(D3DRENDERSTATE_ALPHABLENDENABLE), i == 0 ? 0u : 1u);
        if (i > 0) {
            EXPECT_EQ(draw.renderStates.at(D3DRENDERSTATE_SRCBLEND), D3DBLEND_ONE);
            EXPECT_EQ(draw.renderStates.at(D3DRENDERSTATE_DESTBLEND), D3DBLEND_ONE);
        }
    }
    // Each texture in use is bound once in the frame ("407" is not in use).
    size_t bindings = 0;
    for (const auto& c : fakeDevice->commands) bindings += c.kind == Kind::SetTexture;
    EXPECT_EQ(bindings, 5u);
}

TEST_F(SceneTest, RecordsNotYetAgedOrNotShellHeadsAreLeftOut) {
    StartScene();
    Object(show.smokePuffs, SmokePuff, 1.0f, 0);
    Object(show.smokeClouds, SmokeCloud, 1.0f, 0);
    Trail(ShellTrail, {0.0f, 0.0f}, {0.0f, 5.0f}, 0);
    for (int32_t type : {RingBurst, Fountain, SmallRingBurst, Pinwheel, CometBurst, Comet}) {
        Object(show.shells, type, 1.0f, 10);
    }
    Object(show.shells, Rocket, 1.0f, 0);
    Object(show.shells, Rocket, 1.0f, -1);
    for (int32_t type : {Rocket, TwinRocket, Cascade, LowCascade}) {
        Object(show.shells, type, 100.0f + static_cast<float>(type), 1);
    }
    Render();
    std::vector<float> drawn;
    for (const auto& d : fakeDevice->draws) drawn.push_back(d.world._41);
    EXPECT_EQ(drawn, (std::vector<float>{104.0f, 103.0f, 102.0f, 101.0f}));
}

TEST_F(SceneTest, DrawStateCacheSkipsRepeatsAndEveryFrameStartsAfresh) {
    StartScene();
    scene.device = device.Get();
    scene.currentDrawState = 0;
    SetDrawState(98);
    std::vector<Kind> kinds;
    for (const auto& c : fakeDevice->commands) kinds.push_back(c.kind);
    ASSERT_EQ(kinds.size(), 4u);
    EXPECT_EQ(fakeDevice->commands[0].kind, Kind::SetTextureStageState);
    EXPECT_EQ(fakeDevice->commands[0].value, D3DTOP_MODULATE);
    EXPECT_EQ(fakeDevice->commands[1].a, D3DRENDERSTATE_ALPHABLENDENABLE);
    EXPECT_EQ(fakeDevice->commands[2].a, D3DRENDERSTATE_SRCBLEND);
    EXPECT_EQ(fakeDevice->commands[3].a, D3DRENDERSTATE_DESTBLEND);
    EXPECT_TRUE(scene.texturing);
    fakeDevice->ClearRecords();
    SetDrawState(98);
    EXPECT_TRUE(fakeDevice->commands.empty());

    // A frame ends on the untextured state, so the next one's opaque switch (which first
    // brings back MODULATE) and untextured switch are both applied again.
    Render();
    EXPECT_EQ(scene.currentDrawState, 0);
    EXPECT_FALSE(scene.texturing);
    for (int frame = 0; frame < 2; ++frame) {
        fakeDevice->ClearRecords();
        Render();
        ASSERT_GE(fakeDevice->commands.size(), 7u);
        EXPECT_EQ(fakeDevice->commands[4].kind, Kind::SetTextureStageState);
        EXPECT_EQ(fakeDevice->commands[4].value, D3DTOP_MODULATE);
        EXPECT_EQ(fakeDevice->commands[5].a, D3DRENDERSTATE_ALPHABLENDENABLE);
        EXPECT_EQ(fakeDevice->commands[5].value, 0u);
        EXPECT_EQ(fakeDevice->commands[6].kind, Kind::SetTextureStageState);
        EXPECT_EQ(fakeDevice->commands[6].value, D3DTOP_DISABLE);
    }
}

TEST_F(SceneTest, ColoursTruncateAndSkyStarsAreAlwaysDimGrey) {
    StartScene();
    Particle* star = Star(show.burstStars, 1.0f, 255.0f, 128.0f, 1.0f);
    star->alpha = 0.5f;
    Particle* bright = Star(show.sparks, 2.0f, 200.0f, 10.0f, 0.0f);
    bright->alpha = 1.5f;
    Particle* sky = Star(show.skyStars, 3.0f, 255.0f, 0.0f, 0.0f);
    sky->alpha = 0.2f;
    Render();
    ASSERT_EQ(fakeDevice->draws.size(), 3u);
    for (const auto& v : fakeDevice->draws[0].vertices) EXPECT_EQ(v.diffuse, 0x005A5A5Au);
    for (const auto& v : fakeDevice->draws[1].vertices) EXPECT_EQ(v.diffuse, 0x007F4000u);
    // Light beyond full brightness saturates instead of spilling into the next channel.
    EXPECT_EQ(fakeDevice->draws[2].vertices[0].diffuse, 0x00FF0F00u);
    EXPECT_EQ(SceneColour(-5.0f, 255.0f, 254.9f, 1.0f), 0x0000FFFEu);
}

TEST_F(SceneTest, SpritesArePlacedTurnedAndScaled) {
    StartScene();
    show.twinkleAngle = 30.0f;
    Star(show.glitter, 10.0f);
    Shell* rocket = Object(show.shells, Rocket, -20.0f, 4);
    rocket->size = 2.0f;
    Star(show.skyStars, 5.0f);
    Render();
    ASSERT_EQ(fakeDevice->draws.size(), 3u);

    const auto expectSprite = [](const fake::FakeDraw& d, float x, float y, float size, float degrees) {
        const float theta = degrees * 3.141592654f * show.reciprocalTable[180];
        EXPECT_EQ(d.world._11, static_cast<float>(std::cos(static_cast<double>(theta))) * size);
        EXPECT_EQ(d.world._12, static_cast<float>(std::sin(static_cast<double>(theta))) * size);
        EXPECT_EQ(d.world._21, -static_cast<float>(std::sin(static_cast<double>(theta))) * size);
        EXPECT_EQ(d.world._41, x);
        EXPECT_EQ(d.world._42, y);
        EXPECT_EQ(d.world._43, 0.0f);
        EXPECT_EQ(d.world._44, 1.0f);
    };
    expectSprite(fakeDevice->draws[0], 5.0f, 1.0f, 0.15f, 45.0f);
    expectSprite(fakeDevice->draws[1], 10.0f, 1.0f, 0.9f, -30.0f);
    expectSprite(fakeDevice->draws[2], -20.0f, 2.0f, 2.0f, 30.0f);
    // Glitter and shell heads turn in opposite senses.
    EXPECT_LT(fakeDevice->draws[1].world._12, 0.0f);
    EXPECT_GT(fakeDevice->draws[2].world._12, 0.0f);
    EXPECT_EQ(fakeDevice->draws[1].vertices[2].tu, 1.0f);
    EXPECT_EQ(fakeDevice->draws[1].vertices[0].tv, 1.0f);
}

TEST_F(SceneTest, RibbonsStretchFromTailToHeadWithTheirTextureCoordinates) {
    StartScene();
    Trail(FountainTrail, {-10.0f, 0.0f}, {-10.0f, 20.0f});
    Trail(ShellTrail, {1.0f, 2.0f}, {4.9f, 2.0f});
    Render();
    ASSERT_EQ(fakeDevice->draws.size(), 2u);

    const fake::FakeDraw& ordinary = fakeDevice->draws[0];
    const float length = 0.9604f * 3.0f;
    EXPECT_FLOAT_EQ(ApproxDistance({1.0f, 2.0f}, {4.9f, 2.0f}), 2.8812f);
    EXPECT_EQ(ordinary.texture, TextureGet("406"));
    EXPECT_EQ(ordinary.fvf, 0x142u);
    // Local +y (the head) turns toward +x: the angle is atan2(0, 3.9) - pi/2.
    const float theta = static_cast<float>(std::atan2(0.0, 3.9000001) - 1.570796327);
    EXPECT_EQ(ordinary.world._11, static_cast<float>(std::cos(static_cast<double>(theta))));
    EXPECT_FLOAT_EQ(ordinary.world._12, -1.0f);
    EXPECT_FLOAT_EQ(ordinary.world._21, length);
    EXPECT_NEAR(ordinary.world._22, 0.0f, 1e-6f);
    EXPECT_EQ(ordinary.world._41, 1.0f);
    EXPECT_EQ(ordinary.world._42, 2.0f);
    const float tv[6] = {0.1f * length, 0.2f * length, 0.2f * length, 0.1f * length, 0.0f, 0.0f};
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(ordinary.vertices[i].tv, tv[i]) << i;
    EXPECT_EQ(ordinary.vertices[0].diffuse, 0x00323232u);
    EXPECT_EQ(ordinary.vertices[3].diffuse, 0x00323232u);
    EXPECT_EQ(ordinary.vertices[1].diffuse, 0x00646464u);
    EXPECT_EQ(ordinary.vertices[4].diffuse, 0x00191E23u);

    const fake::FakeDraw& fountain = fakeDevice->draws[1];
    EXPECT_EQ(fountain.texture, TextureGet("407"));
    const float fountainTv[6] = {0.5f, 1.0f, 1.0f, 0.5f, 0.0f, 0.0f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(fountain.vertices[i].tv, fountainTv[i]) << i;
    // Pointing straight up: no turn, and the width goes across.
    EXPECT_NEAR(fountain.world._11, 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(fountain.world._22, 0.9604f * 20.0f);
}

TEST_F(SceneTest, StateWithoutTextureBindsNone) {
    fake.system.RemoveResource("BITMAP", 401);
    StartScene();
    Star(show.burstStars, 1.0f);
    Render();
    ASSERT_EQ(fakeDevice->draws.size(), 1u);
    EXPECT_EQ(fakeDevice->draws[0].texture, nullptr);
    EXPECT_EQ(fakeDevice->draws[0].fvf, 0x142u);
}

}  // namespace
}  // namespace nb::test
