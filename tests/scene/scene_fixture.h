// A clean scene on the fake platform for each test: an empty show with its tables, the
// six texture bitmaps as solid colours of their real sizes, and helpers that stand up a
// fake Direct3D device with a 16-bit render target and a viewport.
#pragma once

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "scene/scene.h"
#include "scene/textures.h"
#include "show/show.h"

namespace nb::test {

using fake::FakeDevice;
using fake::FakeSurface;
using fake::Rgb;

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        scene = SceneState{};
        SimShutdown();
        BuildTables();
        show.twinkleAngle = 1.0f;
        for (size_t i = 0; i < 6; ++i) {
            const uint32_t id = sceneTextureIds[i];
            fake.system.AddBitmapResource(id, fake::FakeBitmapData::Solid(Side(id), Side(id), TextureColour(id)));
        }
    }

    void TearDown() override {
        TextureDestroyAll();
        TextureUsePlatform(nullptr, nullptr);
        ReleaseDevice();
        SimShutdown();
        scene = SceneState{};
    }

    static int32_t Side(uint32_t id) { return id == 401 ? 8 : (id == 402 || id == 405) ? 32 : 16; }
    static Rgb TextureColour(uint32_t id) {
        return Rgb{static_cast<uint8_t>(id - 400), static_cast<uint8_t>(0x80), static_cast<uint8_t>(0xF8)};
    }

    // A DirectDraw object in normal cooperative level, a render target of the given size
    // in 5-6-5, a device of config on it and a viewport covering it.
    void MakeDevice(const fake::FakeDeviceConfig& config = fake::SoftwareDevice(), uint32_t width = 640,
                    uint32_t height = 480) {
        fake::FakeDriverConfig driver = fake::StandardDriver();
        driver.devices = {config};
        fake.graphics.drivers = {driver};

        Ref<Unknown> unknown;
        ASSERT_EQ(fake.graphics.DirectDrawCreate(nullptr, unknown.Put()), S_OK);
        ASSERT_EQ(QueryInterface(*unknown, IID_IDirectDraw4, directDraw), S_OK);
        ASSERT_EQ(directDraw->SetCooperativeLevel(NoWindow, DDSCL_NORMAL), S_OK);
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddpfPixelFormat = fake::ModeFormat(16);
        ASSERT_EQ(directDraw->CreateSurface(&desc, target.Put()), S_OK);
        ASSERT_EQ(QueryInterface(*directDraw, IID_IDirect3D3, direct3D), S_OK);
        ASSERT_EQ(direct3D->CreateDevice(config.guid, target.Get(), device.Put()), S_OK);
        ASSERT_EQ(direct3D->CreateViewport(viewport.Put()), S_OK);
        ASSERT_EQ(device->AddViewport(viewport.Get()), S_OK);
        D3DVIEWPORT2 view{};
        view.dwSize = sizeof view;
        view.dwWidth = width;
        view.dwHeight = height;
        view.dvClipX = -1.0f;
        view.dvClipY = 1.0f;
        view.dvClipWidth = 2.0f;
        view.dvClipHeight = 2.0f;
        view.dvMaxZ = 1.0f;
        ASSERT_EQ(viewport->SetViewport2(view), S_OK);
        ASSERT_EQ(device->SetCurrentViewport(viewport.Get()), S_OK);
        fakeDevice = static_cast<FakeDevice*>(device.Get());
    }

    void ReleaseDevice() {
        fakeDevice = nullptr;
        viewport = nullptr;
        device = nullptr;
        direct3D = nullptr;
        target = nullptr;
        directDraw = nullptr;
    }

    // SceneInit and SceneInitDevice on a fresh device, then forget what set-up recorded.
    void StartScene(const fake::FakeDeviceConfig& config = fake::SoftwareDevice()) {
        MakeDevice(config);
        ASSERT_EQ(SceneInit(fake.system, fake.gdi), S_OK);
        ASSERT_EQ(SceneInitDevice(device.Get(), viewport.Get()), S_OK);
        fakeDevice->ClearRecords();
    }

    void Render() {
        const RECT rect{0, 0, 640, 480};
        ASSERT_EQ(SceneRender(device.Get(), viewport.Get(), &rect), S_OK);
    }

    static FakeSurface* SurfaceOf(const char* name) {
        TextureEntry* entry = TextureFind(name);
        return entry ? static_cast<FakeSurface*>(entry->surface.Get()) : nullptr;
    }

    fake::FakePlatform fake;
    Ref<DirectDraw> directDraw;
    Ref<Direct3D> direct3D;
    Ref<DrawSurface> target;
    Ref<Device3D> device;
    Ref<Viewport3D> viewport;
    FakeDevice* fakeDevice = nullptr;
};

}  // namespace nb::test
