// The fake DirectDraw / Direct3D machine: enumeration as configured, reference counts
// through a full display build and release, the flip chain's back buffer going with its
// primary, real pixel copies (GDI into a staging surface, Blt with stretching and format
// conversion, Lock), display loss and restore, and the device's recording of draws.
#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using nb::fake::FakePlatform;
using nb::fake::Rgb;

struct Seen {
  std::vector<std::string> drivers;
  std::vector<bool> primary;
  std::vector<std::string> devices;
  std::vector<uint32_t> modeDepths;
};

int32_t OnDriver(const nb::GUID* guid, const char* description, const char*, void* context) {
  auto* seen = static_cast<Seen*>(context);
  seen->drivers.emplace_back(description);
  seen->primary.push_back(guid == nullptr);
  return nb::DDENUMRET_OK;
}

int32_t OnDevice(const nb::GUID*, const char*, const char* name, const nb::D3DDEVICEDESC*,
                 const nb::D3DDEVICEDESC*, void* context) {
  static_cast<Seen*>(context)->devices.emplace_back(name);
  return nb::D3DENUMRET_OK;
}

int32_t OnModeStopAtFour(const nb::DDSURFACEDESC2* mode, void* context) {
  auto* seen = static_cast<Seen*>(context);
  seen->modeDepths.push_back(mode->ddpfPixelFormat.dwRGBBitCount);
  return seen->modeDepths.size() == 4 ? nb::DDENUMRET_CANCEL : nb::DDENUMRET_OK;
}

// What the display framework builds, in its order.
struct Display {
  nb::Ref<nb::DirectDraw> directDraw;
  nb::Ref<nb::Direct3D> direct3D;
  nb::Ref<nb::DrawSurface> front;
  nb::DrawSurface* back = nullptr;  // the chain's own; not released by the framework
  nb::Ref<nb::DrawSurface> target;
  nb::Ref<nb::Device3D> device;
  nb::Ref<nb::Viewport3D> viewport;
};

void Build(FakePlatform& fake, Display& d, nb::Window window) {
  nb::Ref<nb::Unknown> first;
  ASSERT_EQ(fake.graphics.DirectDrawCreate(nullptr, first.Put()), nb::DD_OK);
  ASSERT_EQ(nb::QueryInterface(*first, nb::IID_IDirectDraw4, d.directDraw), nb::S_OK);
  first.Reset();
  ASSERT_EQ(d.directDraw->SetCooperativeLevel(
                window, nb::DDSCL_EXCLUSIVE | nb::DDSCL_FULLSCREEN | nb::DDSCL_ALLOWREBOOT | nb::DDSCL_FPUSETUP),
            nb::DD_OK);
  ASSERT_EQ(nb::QueryInterface(*d.directDraw, nb::IID_IDirect3D3, d.direct3D), nb::S_OK);
  ASSERT_EQ(d.direct3D->FindDevice(nb::IID_IDirect3DRGBDevice), nb::DD_OK);
  ASSERT_EQ(d.directDraw->SetDisplayMode(640, 480, 16, 60, 0), nb::DD_OK);
  nb::DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.ddpfPixelFormat.dwSize = sizeof(nb::DDPIXELFORMAT);
  desc.dwFlags = nb::DDSD_CAPS | nb::DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = nb::DDSCAPS_PRIMARYSURFACE | nb::DDSCAPS_3DDEVICE | nb::DDSCAPS_FLIP | nb::DDSCAPS_COMPLEX;
  ASSERT_EQ(d.directDraw->CreateSurface(&desc, d.front.Put()), nb::DD_OK);
  nb::DDSCAPS2 caps{nb::DDSCAPS_BACKBUFFER, 0, 0, 0};
  ASSERT_EQ(d.front->GetAttachedSurface(caps, &d.back), nb::DD_OK);
  d.target = nb::Ref<nb::DrawSurface>::Retain(d.back);
  ASSERT_EQ(d.direct3D->CreateDevice(nb::IID_IDirect3DRGBDevice, d.target.Get(), d.device.Put()), nb::DD_OK);
  ASSERT_EQ(d.direct3D->CreateViewport(d.viewport.Put()), nb::DD_OK);
  ASSERT_EQ(d.device->AddViewport(d.viewport.Get()), nb::DD_OK);
  nb::D3DVIEWPORT2 vp{sizeof(nb::D3DVIEWPORT2), 0, 0, 640, 480, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f, 1.0f};
  ASSERT_EQ(d.viewport->SetViewport2(vp), nb::DD_OK);
  ASSERT_EQ(d.device->SetCurrentViewport(d.viewport.Get()), nb::DD_OK);
}

// Returns the counts Release reported for the device and the DirectDraw object.
std::pair<uint32_t, uint32_t> ReleaseAll(Display& d, nb::Window window) {
  d.viewport.Reset();
  const uint32_t deviceLeft = d.device.Reset();
  d.target.Reset();
  d.back = nullptr;
  d.front.Reset();
  d.direct3D.Reset();
  d.directDraw->SetCooperativeLevel(window, nb::DDSCL_NORMAL);
  return {deviceLeft, d.directDraw.Reset()};
}

nb::Window SaverWindow(FakePlatform& fake) {
  return fake.windows.AddForeignWindow({0, 0, 0, 0});
}

TEST(FakeGraphics, EnumeratesTheConfiguredMachine) {
  FakePlatform fake;
  fake.graphics.drivers = {nb::fake::StandardDriver(),
                           nb::fake::SecondaryDriver(nb::IID_IDirect3DHALDevice, "Second card", "card2")};
  Seen seen;
  ASSERT_EQ(fake.graphics.DirectDrawEnumerateExA(OnDriver, &seen, 7), nb::DD_OK);
  EXPECT_EQ(seen.drivers, (std::vector<std::string>{"Primary Display Driver", "Second card"}));
  EXPECT_EQ(seen.primary, (std::vector<bool>{true, false}));

  nb::Ref<nb::Unknown> first;
  ASSERT_EQ(fake.graphics.DirectDrawCreate(nullptr, first.Put()), nb::DD_OK);
  nb::Ref<nb::DirectDraw> dd;
  ASSERT_EQ(nb::QueryInterface(*first, nb::IID_IDirectDraw4, dd), nb::S_OK);
  nb::Ref<nb::Direct3D> d3d;
  ASSERT_EQ(nb::QueryInterface(*dd, nb::IID_IDirect3D3, d3d), nb::S_OK);
  ASSERT_EQ(d3d->EnumDevices(OnDevice, &seen), nb::DD_OK);
  EXPECT_EQ(seen.devices, (std::vector<std::string>{"RGB Emulation", "Direct3D HAL"}));
  ASSERT_EQ(dd->EnumDisplayModes(0, nullptr, &seen, OnModeStopAtFour), nb::DD_OK);
  EXPECT_EQ(seen.modeDepths, (std::vector<uint32_t>{8, 8, 8, 16}));  // stopped by the callback

  nb::DDCAPS caps{};
  caps.dwSize = 100;  // the wrong size is refused
  EXPECT_EQ(dd->GetCaps(&caps, nullptr), nb::DDERR_INVALIDPARAMS);
  caps.dwSize = sizeof caps;
  EXPECT_EQ(dd->GetCaps(&caps, nullptr), nb::DD_OK);
  EXPECT_EQ(caps.dwVidMemTotal, 16u << 20);

  fake.graphics.drivers[1].offersDirect3D3 = false;
  nb::Ref<nb::Unknown> second;
  nb::GUID secondGuid = nb::IID_IDirect3DHALDevice;
  ASSERT_EQ(fake.graphics.DirectDrawCreate(&secondGuid, second.Put()), nb::DD_OK);
  nb::Ref<nb::Direct3D> none;
  EXPECT_EQ(nb::QueryInterface(*second, nb::IID_IDirect3D3, none), nb::E_NOINTERFACE);
  nb::GUID unknown = nb::IID_IDirect3DRefDevice;
  EXPECT_EQ(fake.graphics.DirectDrawCreate(&unknown, second.Put()), nb::DDERR_INVALIDPARAMS);
}

TEST(FakeGraphics, AFullDisplayBuildReleasesToZero) {
  FakePlatform fake;
  fake.graphics.drivers = {nb::fake::StandardDriver()};
  const nb::Window window = SaverWindow(fake);
  Display d;
  Build(fake, d, window);
  auto* device = fake.graphics.LastDevice();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->target().desc().dwWidth, 640u);
  EXPECT_EQ(device->target().desc().ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_GT(fake.world.RefCount(d.directDraw.Get()), 1u);  // the surfaces and Direct3D hold it

  const auto [deviceLeft, directDrawLeft] = ReleaseAll(d, window);
  EXPECT_EQ(deviceLeft, 0u);
  EXPECT_EQ(directDrawLeft, 0u);
  EXPECT_EQ(fake.world.LiveCount(), 0u);  // the back buffer went with the primary
}

TEST(FakeGraphics, ALeakedTextureKeepsDirectDrawAlive) {
  FakePlatform fake;
  fake.graphics.drivers = {nb::fake::StandardDriver()};
  const nb::Window window = SaverWindow(fake);
  Display d;
  Build(fake, d, window);
  nb::DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = nb::DDSD_CAPS | nb::DDSD_WIDTH | nb::DDSD_HEIGHT | nb::DDSD_PIXELFORMAT;
  desc.dwWidth = desc.dwHeight = 8;
  desc.ddpfPixelFormat = nb::fake::FormatRgb565();
  desc.ddsCaps.dwCaps = nb::DDSCAPS_TEXTURE;
  desc.ddsCaps.dwCaps2 = nb::DDSCAPS2_TEXTUREMANAGE;
  nb::Ref<nb::DrawSurface> texture;
  ASSERT_EQ(d.directDraw->CreateSurface(&desc, texture.Put()), nb::DD_OK);
  const auto [deviceLeft, directDrawLeft] = ReleaseAll(d, window);
  EXPECT_EQ(deviceLeft, 0u);
  EXPECT_EQ(directDrawLeft, 1u);
  texture.Reset();
  EXPECT_EQ(fake.world.LiveCount(), 0u);
}

TEST(FakeGraphics, RefusesWhatThePlatformRefuses) {
  FakePlatform fake;
  fake.graphics.drivers = {nb::fake::StandardDriver()};
  const nb::Window window = SaverWindow(fake);
  nb::Ref<nb::Unknown> first;
  ASSERT_EQ(fake.graphics.DirectDrawCreate(nullptr, first.Put()), nb::DD_OK);
  nb::Ref<nb::DirectDraw> dd;
  ASSERT_EQ(nb::QueryInterface(*first, nb::IID_IDirectDraw4, dd), nb::S_OK);
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), nb::DDERR_NOEXCLUSIVEMODE);
  ASSERT_EQ(dd->SetCooperativeLevel(window, nb::DDSCL_EXCLUSIVE | nb::DDSCL_FULLSCREEN), nb::DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(512, 384, 16, 0, 0), nb::DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetCooperativeLevel(window, nb::DDSCL_EXCLUSIVE), nb::DDERR_INVALIDPARAMS);

  fake.FailCall("CreateSurface", nb::DDERR_OUTOFVIDEOMEMORY, nb::fake::FailWhen::Nth(2));
  nb::DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = nb::DDSD_CAPS | nb::DDSD_WIDTH | nb::DDSD_HEIGHT;
  desc.dwWidth = desc.dwHeight = 4;
  desc.ddsCaps.dwCaps = nb::DDSCAPS_SYSTEMMEMORY;
  nb::Ref<nb::DrawSurface> a, b, c;
  EXPECT_EQ(dd->CreateSurface(&desc, a.Put()), nb::DD_OK);
  EXPECT_EQ(dd->CreateSurface(&desc, b.Put()), nb::DDERR_OUTOFVIDEOMEMORY);
  EXPECT_FALSE(b);
  EXPECT_EQ(dd->CreateSurface(&desc, c.Put()), nb::DD_OK);
  desc.dwWidth = 0;
  EXPECT_EQ(dd->CreateSurface(&desc, b.Put()), nb::DDERR_INVALIDPARAMS);
  desc.dwWidth = 4;
  desc.dwFlags |= nb::DDSD_PIXELFORMAT;
  desc.ddpfPixelFormat = nb::fake::FormatRgb565();
  desc.ddpfPixelFormat.dwFlags |= nb::DDPF_FOURCC;
  EXPECT_EQ(dd->CreateSurface(&desc, b.Put()), nb::DDERR_INVALIDPIXELFORMAT);
}

TEST(FakeGraphics, BitmapReachesTheTextureThroughStagingAndBlt) {
  FakePlatform fake;
  fake.graphics.drivers = {nb::fake::StandardDriver()};
  const nb::Window window = SaverWindow(fake);
  Display d;
  Build(fake, d, window);

  // A 2x2 bitmap: red, green / blue, white (rows from the top).
  nb::fake::FakeBitmapData bitmap = nb::fake::FakeBitmapData::Solid(2, 2, {0, 0, 0});
  bitmap.SetPixel(0, 0, {255, 0, 0});
  bitmap.SetPixel(1, 0, {0, 255, 0});
  bitmap.SetPixel(0, 1, {0, 0, 255});
  bitmap.SetPixel(1, 1, {255, 255, 255});
  const nb::Bitmap handle = fake.gdi.AddBitmap(bitmap);

  nb::DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = nb::DDSD_CAPS | nb::DDSD_WIDTH | nb::DDSD_HEIGHT | nb::DDSD_PIXELFORMAT;
  desc.ddpfPixelFormat = nb::fake::FormatRgb565();
  desc.dwWidth = desc.dwHeight = 4;  // the texture is larger: the picture is stretched
  desc.ddsCaps.dwCaps = nb::DDSCAPS_TEXTURE;
  desc.ddsCaps.dwCaps2 = nb::DDSCAPS2_TEXTUREMANAGE;
  nb::Ref<nb::DrawSurface> texture;
  ASSERT_EQ(d.directDraw->CreateSurface(&desc, texture.Put()), nb::DD_OK);
  desc.dwWidth = desc.dwHeight = 2;
  desc.ddsCaps.dwCaps = nb::DDSCAPS_TEXTURE | nb::DDSCAPS_SYSTEMMEMORY;
  desc.ddsCaps.dwCaps2 = 0;
  nb::Ref<nb::DrawSurface> staging;
  ASSERT_EQ(d.directDraw->CreateSurface(&desc, staging.Put()), nb::DD_OK);

  const nb::Dc memory = fake.gdi.CreateCompatibleDC(nb::NoDc);
  const nb::Bitmap previous = fake.gdi.SelectObject(memory, handle);
  EXPECT_EQ(previous, nb::fake::FakeGdi::stockBitmap);
  nb::Dc surfaceDc{};
  ASSERT_EQ(staging->GetDC(&surfaceDc), nb::DD_OK);
  nb::Dc second{};
  EXPECT_EQ(staging->GetDC(&second), nb::DDERR_DCALREADYCREATED);
  ASSERT_TRUE(fake.gdi.BitBlt(surfaceDc, 0, 0, 2, 2, memory, 0, 0, nb::SRCCOPY));
  ASSERT_EQ(staging->ReleaseDC(surfaceDc), nb::DD_OK);
  EXPECT_FALSE(fake.gdi.DeleteObject(handle));  // still selected
  fake.gdi.SelectObject(memory, previous);
  EXPECT_TRUE(fake.gdi.DeleteDC(memory));
  EXPECT_TRUE(fake.gdi.DeleteObject(handle));
  ASSERT_EQ(texture->Blt(nullptr, staging.Get(), nullptr, nb::DDBLT_WAIT), nb::DD_OK);

  auto* fakeTexture = static_cast<nb::fake::FakeSurface*>(texture.Get());
  EXPECT_EQ(fakeTexture->Pixel(0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(fakeTexture->Pixel(1, 1), (Rgb{255, 0, 0}));
  EXPECT_EQ(fakeTexture->Pixel(3, 0), (Rgb{0, 255, 0}));
  EXPECT_EQ(fakeTexture->Pixel(0, 3), (Rgb{0, 0, 255}));
  EXPECT_EQ(fakeTexture->Pixel(3, 3), (Rgb{255, 255, 255}));
  EXPECT_EQ(fakeTexture->pixels().Raw(0, 0), 0xF800u);  // 5-6-5 red

  nb::DDSURFACEDESC2 locked{};
  locked.dwSize = sizeof locked;
  ASSERT_EQ(texture->Lock(nullptr, &locked, nb::DDLOCK_WAIT), nb::DD_OK);
  EXPECT_EQ(locked.lPitch, 8);
  EXPECT_EQ(texture->Lock(nullptr, &locked, 0), nb::DDERR_SURFACEBUSY);
  const auto* row3 = static_cast<const uint16_t*>(static_cast<const void*>(
      static_cast<const uint8_t*>(locked.lpSurface) + 3 * locked.lPitch));
  EXPECT_EQ(row3[3], 0xFFFFu);
  EXPECT_EQ(texture->Unlock(nullptr), nb::DD_OK);
  EXPECT_EQ(texture->Unlock(nullptr), nb::DDERR_NOTLOCKED);

  nb::Ref<nb::Texture3D> face;
  ASSERT_EQ(nb::QueryInterface(*texture, nb::IID_IDirect3DTexture2, face), nb::S_OK);
  EXPECT_EQ(face->GetSurface(), texture.Get());
  nb::Ref<nb::Texture3D> notATexture;
  EXPECT_EQ(nb::QueryInterface(*d.front, nb::IID_IDirect3DTexture2, notATexture), nb::E_NOINTERFACE);
}

TEST(FakeGraphics, DisplayLossAndRestore) {
  FakePlatform fake;
  fake.graphics.drivers = {nb::fake::StandardDriver()};
  const nb::Window window = SaverWindow(fake);
  Display d;
  Build(fake, d, window);
  EXPECT_EQ(d.front->Flip(nullptr, nb::DDFLIP_WAIT), nb::DD_OK);

  fake.graphics.TakeDisplayAway();
  EXPECT_EQ(d.directDraw->TestCooperativeLevel(), nb::DDERR_NOEXCLUSIVEMODE);
  EXPECT_EQ(d.front->IsLost(), nb::DDERR_SURFACELOST);
  EXPECT_EQ(d.front->Restore(), nb::DDERR_WRONGMODE);
  EXPECT_EQ(d.device->BeginScene(), nb::DDERR_SURFACELOST);

  fake.graphics.GiveDisplayBack();
  EXPECT_EQ(d.directDraw->TestCooperativeLevel(), nb::DD_OK);
  EXPECT_EQ(d.front->Flip(nullptr, nb::DDFLIP_WAIT), nb::DDERR_SURFACELOST);
  EXPECT_EQ(d.front->Restore(), nb::DD_OK);
  EXPECT_EQ(d.back->IsLost(), nb::DD_OK);  // the chain comes back with its primary
  EXPECT_EQ(d.front->Flip(nullptr, nb::DDFLIP_WAIT), nb::DD_OK);
  EXPECT_EQ(static_cast<nb::fake::FakeSurface*>(d.front.Get())->flips, 2u);
  EXPECT_EQ(d.directDraw->FlipToGDISurface(), nb::DD_OK);
}

TEST(FakeGraphics, DeviceRecordsStatesDrawsAndClears) {
  FakePlatform fake;
  fake.graphics.drivers = {nb::fake::StandardDriver()};
  const nb::Window window = SaverWindow(fake);
  Display d;
  Build(fake, d, window);
  auto* device = fake.graphics.LastDevice();

  struct Vertex {
    float x, y, z;
    nb::D3DCOLOR colour;
    float tu, tv;
  };
  Vertex quad[4] = {{1, -1, 0, 0x112233, 0, 1}, {1, 1, 0, 0x112233, 0, 0},
                    {-1, 1, 0, 0x112233, 1, 0}, {-1, -1, 0, 0x445566, 1, 1}};
  nb::D3DDRAWPRIMITIVESTRIDEDDATA data{};
  data.position = {&quad[0].x, sizeof(Vertex)};
  data.diffuse = {&quad[0].colour, sizeof(Vertex)};
  data.textureCoords[0] = {&quad[0].tu, sizeof(Vertex)};
  const uint32_t fvf = nb::D3DFVF_XYZ | nb::D3DFVF_DIFFUSE | nb::D3DFVF_TEX1;

  EXPECT_EQ(d.device->DrawPrimitiveStrided(nb::D3DPT_TRIANGLEFAN, fvf, data, 4, 0), nb::D3DERR_SCENE_NOT_IN_SCENE);
  ASSERT_EQ(d.device->BeginScene(), nb::DD_OK);
  EXPECT_EQ(d.device->BeginScene(), nb::D3DERR_SCENE_IN_SCENE);
  nb::D3DRECT rect{0, 0, 640, 480};
  ASSERT_EQ(d.viewport->Clear2(1, &rect, nb::D3DCLEAR_TARGET, 0x00000000, 1.0f, 0), nb::DD_OK);
  d.device->SetRenderState(nb::D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  d.device->SetTextureStageState(0, nb::D3DTSS_COLOROP, nb::D3DTOP_MODULATE);
  nb::D3DMATRIX world{};
  world._11 = world._22 = world._33 = world._44 = 2.0f;
  world._41 = 5.0f;
  d.device->SetTransform(nb::D3DTRANSFORMSTATE_WORLD, world);
  ASSERT_EQ(d.device->DrawPrimitiveStrided(nb::D3DPT_TRIANGLEFAN, fvf, data, 4, 0), nb::DD_OK);
  quad[3].colour = 0;  // the device copied the vertices
  nb::D3DDRAWPRIMITIVESTRIDEDDATA missing = data;
  missing.diffuse.lpvData = nullptr;
  EXPECT_EQ(d.device->DrawPrimitiveStrided(nb::D3DPT_TRIANGLEFAN, fvf, missing, 4, 0), nb::DDERR_INVALIDPARAMS);
  ASSERT_EQ(d.device->EndScene(), nb::DD_OK);

  ASSERT_EQ(device->draws.size(), 1u);
  const nb::fake::FakeDraw& draw = device->draws[0];
  EXPECT_EQ(draw.primitiveType, nb::D3DPT_TRIANGLEFAN);
  EXPECT_EQ(draw.fvf, 0x142u);
  ASSERT_EQ(draw.vertices.size(), 4u);
  EXPECT_EQ(draw.vertices[3].diffuse, 0x445566u);
  EXPECT_EQ(draw.vertices[2].tu, 1.0f);
  EXPECT_EQ(draw.world._41, 5.0f);
  EXPECT_EQ(draw.renderStates.at(nb::D3DRENDERSTATE_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(draw.texture, nullptr);
  ASSERT_EQ(device->clears.size(), 1u);
  EXPECT_EQ(device->clears[0].rects[0].x2, 640);

  std::vector<nb::fake::DeviceCommand::Kind> kinds;
  for (const auto& command : device->commands) kinds.push_back(command.kind);
  using Kind = nb::fake::DeviceCommand::Kind;
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::BeginScene, Kind::Clear, Kind::SetRenderState,
                                      Kind::SetTextureStageState, Kind::SetTransform, Kind::Draw,
                                      Kind::EndScene}));
  EXPECT_EQ(device->scenes, 1u);

  nb::D3DVIEWPORT2 read{};
  read.dwSize = sizeof read;
  ASSERT_EQ(d.viewport->GetViewport2(&read), nb::DD_OK);
  EXPECT_EQ(read.dwWidth, 640u);
  EXPECT_EQ(read.dvClipX, -1.0f);
}

}  // namespace
