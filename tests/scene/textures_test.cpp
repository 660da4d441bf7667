// The texture manager on the fake platform: the list and its lookups, restoring and
// invalidating, the size rules, the format choice, the copy of the bitmap through the
// staging surface, failures of each step, and references back to zero.
#include <cstring>
#include <string>

#include "scene_fixture.h"

namespace nb::test {
namespace {

using fake::FailWhen;

class TextureTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        TextureUsePlatform(&fake.system, &fake.gdi);
    }

    static fake::FakeDeviceConfig DeviceWith(uint32_t textureCaps, std::vector<DDPIXELFORMAT> formats) {
        fake::FakeDeviceConfig config = fake::SoftwareDevice();
        config.emulation.dpcTriCaps.dwTextureCaps = textureCaps;
        config.textureFormats = std::move(formats);
        return config;
    }

    static DDPIXELFORMAT FourCc16() {
        DDPIXELFORMAT f = fake::FormatRgb565();
        f.dwFlags |= DDPF_FOURCC;
        f.dwFourCC = 0x31545844;
        return f;
    }

    // The arguments (flags, caps, width, height) of every CreateSurface call so far.
    std::vector<std::vector<int64_t>> SurfaceRequests() const {
        std::vector<std::vector<int64_t>> out;
        for (const fake::Call& call : fake.world.CallsNamed("DirectDraw::CreateSurface")) out.push_back(call.args);
        return out;
    }
};

TEST_F(TextureTest, CreateFindAndGet) {
    ASSERT_EQ(TextureCreate(404, 0), S_OK);
    ASSERT_EQ(TextureCreate(401, 0), S_OK);
    TextureEntry* first = TextureFind("404");
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(IsNone(first->bitmap));
    // A second create of a name changes nothing and loads nothing.
    const size_t loads = fake.world.CountCalls("LoadImageA");
    EXPECT_EQ(TextureCreate(404, 3), S_OK);
    EXPECT_EQ(fake.world.CountCalls("LoadImageA"), loads);
    EXPECT_EQ(TextureFind("404"), first);
    EXPECT_EQ(first->stage, 0u);
    EXPECT_EQ(textureList.head, TextureFind("401"));
    EXPECT_EQ(textureList.head->next, first);
    EXPECT_EQ(first->prev, textureList.head);

    std::strcpy(first->name, "Sparkle");
    EXPECT_EQ(TextureFind("sPARKLE"), first);
    EXPECT_EQ(TextureFind("Sparkl"), nullptr);
    EXPECT_EQ(TextureFind(nullptr), nullptr);
    EXPECT_EQ(TextureGet("400"), nullptr);
    EXPECT_EQ(TextureGet("401"), nullptr);  // no surface yet
}

TEST_F(TextureTest, RestoreBuildsAManagedTextureAndCopiesTheBitmap) {
    MakeDevice();
    ASSERT_EQ(TextureCreate(404, 0), S_OK);
    EXPECT_EQ(TextureRestore("404", nullptr), E_INVALIDARG);
    EXPECT_EQ(TextureRestore("400", device.Get()), DDERR_NOTFOUND);
    ASSERT_EQ(TextureRestore("404", device.Get()), S_OK);

    FakeSurface* surface = SurfaceOf("404");
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(TextureGet("404"), static_cast<Texture3D*>(surface));
    EXPECT_TRUE(surface->managed());
    EXPECT_EQ(surface->desc().dwWidth, 16u);
    EXPECT_EQ(surface->desc().ddpfPixelFormat.dwRBitMask, 0xF800u);  // the first 16-bit format: 5-6-5
    const auto requests = SurfaceRequests();
    ASSERT_EQ(requests.size(), 3u);  // render target, texture, staging
    EXPECT_EQ(requests[1], (std::vector<int64_t>{0x101007, 0x1000, 16, 16}));
    EXPECT_EQ(requests[2], (std::vector<int64_t>{0x101007, 0x1800, 16, 16}));
    // The solid colour arrives quantized to 5-6-5.
    EXPECT_EQ(surface->Pixel(7, 9), (Rgb{0x00, 0x82, 0xFF}));

    // With a null device the entry keeps what it has.
    EXPECT_EQ(TextureRestore("404", nullptr), E_INVALIDARG);
    EXPECT_EQ(SurfaceOf("404"), surface);
    // Restoring again replaces the surface; the old one is gone.
    const size_t live = fake.world.LiveCount("DrawSurface");
    ASSERT_EQ(TextureRestore("404", device.Get()), S_OK);
    EXPECT_EQ(fake.world.LiveCount("DrawSurface"), live);
    EXPECT_EQ(fake.gdi.OpenDcCount(), 0u);
}

TEST_F(TextureTest, InvalidateAndRestoreAll) {
    MakeDevice();
    for (uint32_t id : sceneTextureIds) ASSERT_EQ(TextureCreate(id, 0), S_OK);
    const size_t surfacesBefore = fake.world.LiveCount("DrawSurface");
    const uint32_t directDrawRefs = fake.world.RefCount(directDraw.Get());
    EXPECT_EQ(TextureRestoreAll(device.Get()), S_OK);
    EXPECT_EQ(fake.world.LiveCount("DrawSurface"), surfacesBefore + 6);
    for (uint32_t id : sceneTextureIds) EXPECT_NE(TextureGet(std::to_string(id).c_str()), nullptr) << id;

    EXPECT_EQ(TextureInvalidateAll(), S_OK);
    for (uint32_t id : sceneTextureIds) EXPECT_EQ(TextureGet(std::to_string(id).c_str()), nullptr) << id;
    EXPECT_EQ(fake.world.LiveCount("DrawSurface"), surfacesBefore);
    EXPECT_EQ(fake.world.RefCount(directDraw.Get()), directDrawRefs);
    EXPECT_EQ(fake.gdi.BitmapCount(), 6u);

    EXPECT_EQ(TextureRestoreAll(device.Get()), S_OK);
    EXPECT_NE(TextureGet("407"), nullptr);
    TextureDestroyAll();
    EXPECT_EQ(textureList.head, nullptr);
    EXPECT_EQ(fake.gdi.BitmapCount(), 0u);
    ReleaseDevice();
    EXPECT_EQ(fake.world.LiveCount(), 0u);
}

TEST_F(TextureTest, PowerOfTwoAndSquareOnlyKeepTheSetsSizes) {
    MakeDevice(DeviceWith(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, {fake::FormatRgb565()}));
    for (uint32_t id : sceneTextureIds) ASSERT_EQ(TextureCreate(id, 0), S_OK);
    TextureRestoreAll(device.Get());
    for (uint32_t id : sceneTextureIds) {
        FakeSurface* surface = SurfaceOf(std::to_string(id).c_str());
        ASSERT_NE(surface, nullptr) << id;
        EXPECT_EQ(surface->desc().dwWidth, static_cast<uint32_t>(Side(id)));
        EXPECT_EQ(surface->desc().dwHeight, static_cast<uint32_t>(Side(id)));
    }
}

TEST_F(TextureTest, OddBitmapsAreEnlargedAndStretched) {
    // Left half red, right half blue, 6 x 3.
    fake::FakeBitmapData halves = fake::FakeBitmapData::Solid(6, 3, Rgb{255, 0, 0});
    for (int y = 0; y < 3; ++y) {
        for (int x = 3; x < 6; ++x) halves.SetPixel(x, y, Rgb{0, 0, 255});
    }
    fake.system.AddBitmapResource(500, halves);
    ASSERT_EQ(TextureCreate(500, 0), S_OK);

    struct Case {
        uint32_t caps;
        uint32_t width, height;
    };
    for (const Case& c : {Case{0, 6, 3}, Case{D3DPTEXTURECAPS_POW2, 8, 4},
                          Case{D3DPTEXTURECAPS_SQUAREONLY, 6, 6},
                          Case{D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, 8, 8}}) {
        SCOPED_TRACE(c.caps);
        MakeDevice(DeviceWith(c.caps, {fake::FormatRgb565()}));
        fake.world.ClearCalls();
        ASSERT_EQ(TextureRestore("500", device.Get()), S_OK);
        FakeSurface* surface = SurfaceOf("500");
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface->desc().dwWidth, c.width);
        EXPECT_EQ(surface->desc().dwHeight, c.height);
        // The staging surface has the bitmap's own size; the Blt stretches it.
        const auto requests = SurfaceRequests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1][2], 6);
        EXPECT_EQ(requests[1][3], 3);
        EXPECT_EQ(fake.world.CallsNamed("Blt").at(0).args[2], DDBLT_WAIT);
        EXPECT_EQ(surface->Pixel(0, c.height - 1), (Rgb{255, 0, 0}));
        EXPECT_EQ(surface->Pixel(c.width / 2 - 1, 0), (Rgb{255, 0, 0}));
        EXPECT_EQ(surface->Pixel(c.width / 2, 0), (Rgb{0, 0, 255}));
        EXPECT_EQ(surface->Pixel(c.width - 1, c.height - 1), (Rgb{0, 0, 255}));
        TextureInvalidateAll();
        ReleaseDevice();
    }
}

TEST_F(TextureTest, HardwareCapsWinWhenTheHardwareDescriptionIsSet) {
    fake::FakeDeviceConfig config = fake::HardwareDevice();
    config.hardware.dpcTriCaps.dwTextureCaps = D3DPTEXTURECAPS_SQUAREONLY;
    config.emulation.dpcTriCaps.dwTextureCaps = D3DPTEXTURECAPS_POW2;
    fake.system.AddBitmapResource(501, fake::FakeBitmapData::Solid(5, 3, Rgb{1, 2, 3}));
    MakeDevice(config);
    ASSERT_EQ(TextureCreate(501, 0), S_OK);
    ASSERT_EQ(TextureRestore("501", device.Get()), S_OK);
    EXPECT_EQ(SurfaceOf("501")->desc().dwWidth, 5u);
    EXPECT_EQ(SurfaceOf("501")->desc().dwHeight, 5u);
}

TEST_F(TextureTest, FormatSearchTakesTheFirstPlainSixteenBitFormat) {
    DDPIXELFORMAT lum16 = fake::FormatLuminance8();
    lum16.dwRGBBitCount = 16;
    MakeDevice(DeviceWith(0, {lum16, fake::FormatPal8(), fake::FormatArgb1555(), FourCc16(), fake::FormatRgb888(),
                              fake::FormatRgb555(), fake::FormatRgb565()}));
    FormatSearch search;
    ASSERT_TRUE(ChooseTextureFormat(*device, search));
    EXPECT_EQ(search.format.dwRBitMask, fake::FormatRgb555().dwRBitMask);
    EXPECT_EQ(search.format.dwGBitMask, 0x03E0u);
    EXPECT_EQ(fake.world.CountCalls("EnumTextureFormats"), 1u);

    // A palettized bitmap takes the palettized format.
    FormatSearch palette;
    palette.usePalette = true;
    ASSERT_TRUE(ChooseTextureFormat(*device, palette));
    EXPECT_TRUE(palette.format.dwFlags & DDPF_PALETTEINDEXED8);
}

TEST_F(TextureTest, PalettizedBitmapFallsBackOnceWithoutPalette) {
    MakeDevice(DeviceWith(0, {fake::FormatArgb4444(), fake::FormatRgb565()}));
    FormatSearch search;
    search.usePalette = true;
    ASSERT_TRUE(ChooseTextureFormat(*device, search));
    EXPECT_EQ(search.format.dwRBitMask, 0xF800u);
    EXPECT_FALSE(search.usePalette);
    EXPECT_EQ(fake.world.CountCalls("EnumTextureFormats"), 2u);
}

TEST_F(TextureTest, NoAcceptableFormatLeavesTheEntryWithoutTexture) {
    MakeDevice(DeviceWith(0, {fake::FormatArgb1555(), fake::FormatArgb8888(), fake::FormatPal8()}));
    ASSERT_EQ(TextureCreate(401, 0), S_OK);
    fake.world.ClearCalls();
    EXPECT_EQ(TextureRestore("401", device.Get()), E_FAIL);
    EXPECT_EQ(TextureGet("401"), nullptr);
    EXPECT_EQ(fake.world.CountCalls("CreateSurface"), 0u);
    EXPECT_EQ(fake.world.CountCalls("EnumTextureFormats"), 1u);  // no retry for a 24-bit bitmap
}

TEST_F(TextureTest, EightBitBitmapGetsItsPaletteOnBothSurfaces) {
    fake::FakeBitmapData indexed;
    indexed.width = 4;
    indexed.height = 4;
    indexed.bitsPerPixel = 8;
    indexed.bits.assign(static_cast<size_t>(indexed.RowBytes()) * 4, 1);
    indexed.colours = {RGBQUAD{10, 20, 30, 0}, RGBQUAD{40, 50, 60, 0}};
    fake.system.AddBitmapResource(600, indexed);
    MakeDevice(DeviceWith(0, {fake::FormatRgb565(), fake::FormatPal8()}));
    ASSERT_EQ(TextureCreate(600, 0), S_OK);
    ASSERT_EQ(TextureRestore("600", device.Get()), S_OK);

    FakeSurface* surface = SurfaceOf("600");
    ASSERT_NE(surface, nullptr);
    EXPECT_TRUE(surface->desc().ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
    ASSERT_NE(surface->palette(), nullptr);
    PALETTEENTRY entries[3];
    ASSERT_EQ(surface->palette()->GetEntries(0, 3, entries), DD_OK);
    EXPECT_EQ(entries[1].peRed, 60);
    EXPECT_EQ(entries[1].peGreen, 50);
    EXPECT_EQ(entries[1].peBlue, 40);
    EXPECT_EQ(entries[1].peFlags, 0xFF);
    EXPECT_EQ(fake.world.CountCalls("SetPalette"), 2u);
    EXPECT_EQ(fake.world.CallsNamed("CreatePalette").at(0).args[0], DDPCAPS_8BIT);
    // Only the texture keeps the palette alive.
    EXPECT_EQ(fake.world.LiveCount("DrawPalette"), 1u);
    TextureInvalidateAll();
    EXPECT_EQ(fake.world.LiveCount("DrawPalette"), 0u);
}

TEST_F(TextureTest, FailedStepsLeaveNoTexture) {
    struct Case {
        const char* call;
        FailWhen when;
    };
    for (const Case& c : {Case{"GetRenderTarget", FailWhen::First()}, Case{"GetDDInterface", FailWhen::First()},
                          Case{"Device3D::GetCaps", FailWhen::First()},
                          Case{"DirectDraw::CreateSurface", FailWhen::First()},
                          Case{"DrawSurface::QueryInterface", FailWhen::First()}}) {
        SCOPED_TRACE(c.call);
        MakeDevice();
        ASSERT_EQ(TextureCreate(402, 0), S_OK);
        const size_t surfaces = fake.world.LiveCount("DrawSurface");
        fake.FailCall(c.call, DDERR_GENERIC, c.when);
        EXPECT_EQ(TextureRestore("402", device.Get()), E_FAIL);
        EXPECT_EQ(TextureGet("402"), nullptr);
        fake.world.ClearFailures();
        // A surface left without its texture interface goes with the next invalidation.
        TextureInvalidateAll();
        EXPECT_EQ(fake.world.LiveCount("DrawSurface"), surfaces);
        ReleaseDevice();
    }
    EXPECT_EQ(fake.world.LiveCount("DrawSurface"), 0u);
}

TEST_F(TextureTest, MissingBitmapOrFailedCopyStillEndsSafely) {
    MakeDevice();
    fake.system.RemoveResource("BITMAP", 405);
    ASSERT_EQ(TextureCreate(405, 0), S_OK);
    ASSERT_EQ(TextureCreate(406, 0), S_OK);
    EXPECT_EQ(TextureRestore("405", device.Get()), E_FAIL);
    EXPECT_EQ(TextureGet("405"), nullptr);

    // Without a staging surface the copy ends early: the texture exists, contents unknown.
    fake.FailCall("DirectDraw::CreateSurface", DDERR_OUTOFMEMORY, FailWhen::Nth(2));
    EXPECT_EQ(TextureRestore("406", device.Get()), S_OK);
    EXPECT_NE(TextureGet("406"), nullptr);
    fake.FailCall("Gdi::CreateCompatibleDC", E_FAIL, FailWhen::First());
    EXPECT_EQ(TextureRestore("406", device.Get()), S_OK);
    EXPECT_NE(TextureGet("406"), nullptr);
    EXPECT_EQ(fake.gdi.OpenDcCount(), 0u);
}

TEST_F(TextureTest, RestoreAllCarriesOnPastAFailure) {
    MakeDevice();
    for (uint32_t id : sceneTextureIds) ASSERT_EQ(TextureCreate(id, 0), S_OK);
    // The first texture request is the head's, "407".
    fake.FailCall("DirectDraw::CreateSurface", DDERR_OUTOFVIDEOMEMORY, FailWhen::First());
    EXPECT_EQ(TextureRestoreAll(device.Get()), S_OK);
    EXPECT_EQ(TextureGet("407"), nullptr);
    for (const char* name : {"401", "402", "404", "405", "406"}) EXPECT_NE(TextureGet(name), nullptr) << name;
}

}  // namespace
}  // namespace nb::test
