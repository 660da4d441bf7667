// The OpenGL driver's own contracts, headless: the texture formats it offers and in which
// order, its caps, surfaces and their pixels (Lock, GetDC with a bitmap blit, stretching
// Blt), Clear2 of a part of the target, drawing outside a scene, batching without losing
// the draw order, culling, and the display framework's sequence with its release counts.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/gl/gl_formats.h"
#include "platform/gl/gl_headless.h"

namespace nb {
namespace {

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

class GlDeviceTest : public ::testing::Test {
 protected:
  void Open(uint32_t width, uint32_t height, uint32_t bits) {
    std::string error;
    ASSERT_EQ(OpenHeadlessDisplay(width, height, bits, &display_, &error), DD_OK) << error;
  }
  Rgb Pixel(uint32_t x, uint32_t y) {
    std::vector<uint8_t> rgb;
    uint32_t w = 0;
    uint32_t h = 0;
    EXPECT_EQ(display_->ReadRgb8(&rgb, &w, &h), DD_OK);
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * w + x) * 3;
    return {p[0], p[1], p[2]};
  }
  Ref<DrawSurface> MakeSurface(uint32_t caps, uint32_t width, uint32_t height,
                               const DDPIXELFORMAT& format, int32_t* result = nullptr) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = caps;
    desc.ddpfPixelFormat = format;
    Ref<DrawSurface> surface;
    const int32_t r = display_->directDraw->CreateSurface(&desc, surface.Put());
    if (result) *result = r;
    return surface;
  }

  // One untextured square from (x0, y0) to (x1, y1) in clip space, in the given colour,
  // its vertices running as the sprite quad's do (counter-clockwise on screen) or the
  // other way round.
  void Square(float x0, float y0, float x1, float y1, D3DCOLOR colour, bool counterClockwise = true) {
    struct V {
      float x, y, z;
      D3DCOLOR c;
    };
    V v[4] = {{x1, y0, 0.5f, colour}, {x1, y1, 0.5f, colour}, {x0, y1, 0.5f, colour},
              {x0, y0, 0.5f, colour}};
    if (!counterClockwise) std::swap(v[1], v[3]);
    D3DDRAWPRIMITIVESTRIDEDDATA data{};
    data.position = {&v[0].x, sizeof(V)};
    data.diffuse = {&v[0].c, sizeof(V)};
    EXPECT_EQ(display_->device->DrawPrimitiveStrided(D3DPT_TRIANGLEFAN,
                                                     D3DFVF_XYZ | D3DFVF_DIFFUSE, data, 4, 0),
              DD_OK);
  }
  void Clear(D3DCOLOR colour) {
    const D3DRECT all{0, 0, display_->viewportRect.right, display_->viewportRect.bottom};
    ASSERT_EQ(display_->viewport->Clear2(1, &all, D3DCLEAR_TARGET, colour, 1.0f, 0), DD_OK);
  }
  void Untextured() {
    display_->device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    display_->device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  }

  std::unique_ptr<HeadlessDisplay> display_;
};

int32_t CollectFormat(const DDPIXELFORMAT* format, void* context) {
  static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*format);
  return D3DENUMRET_OK;
}

TEST_F(GlDeviceTest, OffersSixteenBitFormatsWithAlphaFirstAndFiveSixFiveAsFirstPlainOne) {
  Open(64, 64, 32);
  std::vector<DDPIXELFORMAT> formats;
  ASSERT_EQ(display_->device->EnumTextureFormats(CollectFormat, &formats), DD_OK);
  ASSERT_GE(formats.size(), 4u);
  const DDPIXELFORMAT* firstPlain16 = nullptr;
  bool has555 = false;
  bool has4444 = false;
  for (const DDPIXELFORMAT& f : formats) {
    EXPECT_EQ(f.dwSize, sizeof(DDPIXELFORMAT));
    if (f.dwRGBBitCount != 16) continue;
    if (!(f.dwFlags & DDPF_ALPHAPIXELS) && !firstPlain16) firstPlain16 = &f;
    has555 |= !(f.dwFlags & DDPF_ALPHAPIXELS) && f.dwRBitMask == 0x7C00;
    has4444 |= (f.dwFlags & DDPF_ALPHAPIXELS) && f.dwRGBAlphaBitMask == 0xF000;
  }
  ASSERT_NE(firstPlain16, nullptr);
  EXPECT_NE(firstPlain16, &formats[0]) << "a format with alpha should come first";
  EXPECT_EQ(firstPlain16->dwRBitMask, 0xF800u);
  EXPECT_EQ(firstPlain16->dwGBitMask, 0x07E0u);
  EXPECT_EQ(firstPlain16->dwBBitMask, 0x001Fu);
  EXPECT_TRUE(has555);
  EXPECT_TRUE(has4444);

  // Every offered format makes a texture; a palettized one does not.
  for (const DDPIXELFORMAT& f : formats) {
    int32_t result = 0;
    EXPECT_TRUE(MakeSurface(DDSCAPS_TEXTURE, 8, 8, f, &result)) << result;
  }
  DDPIXELFORMAT pal{};
  pal.dwSize = sizeof(pal);
  pal.dwFlags = DDPF_PALETTEINDEXED8 | DDPF_RGB;
  pal.dwRGBBitCount = 8;
  int32_t result = 0;
  EXPECT_FALSE(MakeSurface(DDSCAPS_TEXTURE, 8, 8, pal, &result));
  EXPECT_EQ(result, DDERR_INVALIDPIXELFORMAT);
}

TEST_F(GlDeviceTest, SoftwareDeviceDescribesAdditiveBlendingAndBothDepths) {
  Open(64, 64, 16);
  D3DDEVICEDESC hardware{};
  D3DDEVICEDESC emulation{};
  hardware.dwSize = emulation.dwSize = sizeof(D3DDEVICEDESC);
  ASSERT_EQ(display_->device->GetCaps(&hardware, &emulation), DD_OK);
  EXPECT_EQ(hardware.dwFlags, 0u) << "the software device must not look like hardware";
  EXPECT_NE(emulation.dcmColorModel & D3DCOLOR_RGB, 0u);
  EXPECT_NE(emulation.dpcTriCaps.dwDestBlendCaps & D3DPBLENDCAPS_ONE, 0u);
  EXPECT_EQ(emulation.dwDeviceRenderBitDepth & (DDBD_16 | DDBD_32), DDBD_16 | DDBD_32);
  EXPECT_EQ(emulation.dpcTriCaps.dwTextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY),
            0u);
  hardware.dwSize = 12;
  EXPECT_EQ(display_->device->GetCaps(&hardware, &emulation), DDERR_INVALIDPARAMS);

  Ref<DrawSurface> target;
  ASSERT_EQ(display_->device->GetRenderTarget(target.Put()), DD_OK);
  EXPECT_EQ(target.Get(), display_->renderTarget.Get());
  Ref<DirectDraw> owner;
  ASSERT_EQ(target->GetDDInterface(owner.Put()), DD_OK);
  EXPECT_EQ(owner.Get(), display_->directDraw.Get());
}

TEST_F(GlDeviceTest, ClearsOnlyTheGivenRectanglesClippedToTheTarget) {
  Open(64, 48, 32);
  Clear(0x00000000);
  const D3DRECT rects[2] = {{10, 20, 30, 40}, {60, 44, 90, 90}};
  ASSERT_EQ(display_->viewport->Clear2(2, rects, D3DCLEAR_TARGET, 0x00FF8040, 1.0f, 0), DD_OK);
  std::vector<uint8_t> rgb;
  uint32_t w = 0;
  uint32_t h = 0;
  ASSERT_EQ(display_->ReadRgb8(&rgb, &w, &h), DD_OK);
  ASSERT_EQ(w, 64u);
  ASSERT_EQ(h, 48u);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const bool inside = (x >= 10 && x < 30 && y >= 20 && y < 40) || (x >= 60 && y >= 44);
      const uint8_t* p = rgb.data() + (y * w + x) * 3;
      const Rgb expected = inside ? Rgb{0xFF, 0x80, 0x40} : Rgb{0, 0, 0};
      ASSERT_EQ((Rgb{p[0], p[1], p[2]}), expected) << "at " << x << "," << y;
    }
  }
  EXPECT_EQ(display_->viewport->Clear2(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0),
            DDERR_INVALIDPARAMS);
}

TEST_F(GlDeviceTest, SixteenBitTargetHoldsFiveSixFiveValues) {
  Open(16, 16, 16);
  Clear(0x00818283);
  // 0x81 keeps its top five bits 10000 (-> 0x84), 0x82 its top six 100000 (-> 0x82).
  EXPECT_EQ(Pixel(3, 3), (Rgb{0x84, 0x82, 0x84}));
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  ASSERT_EQ(display_->renderTarget->Lock(nullptr, &desc, DDLOCK_READONLY), DD_OK);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
  uint16_t raw = 0;
  std::memcpy(&raw, desc.lpSurface, 2);
  EXPECT_EQ(raw, (0x10 << 11) | (0x20 << 5) | 0x10);
  EXPECT_EQ(display_->renderTarget->Lock(nullptr, &desc, 0), DDERR_SURFACEBUSY);
  EXPECT_EQ(display_->renderTarget->Unlock(nullptr), DD_OK);
  EXPECT_EQ(display_->renderTarget->Unlock(nullptr), DDERR_NOTLOCKED);
}

TEST_F(GlDeviceTest, BitmapReachesATextureThroughAStagingSurfaceStretched) {
  Open(16, 16, 32);
  // A 2 x 2 bitmap: red, green / blue, white.
  const uint8_t pixels[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  const Bitmap bitmap = display_->gdi.CreateDib(2, 2, pixels);
  ASSERT_NE(bitmap, NoBitmap);
  Ref<DrawSurface> staging =
      MakeSurface(DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, 2, 2, GlFormatRgb565());
  Ref<DrawSurface> texture = MakeSurface(DDSCAPS_TEXTURE, 4, 4, GlFormatRgb565());
  ASSERT_TRUE(staging && texture);

  const Dc memory = display_->gdi.CreateCompatibleDC(NoDc);
  ASSERT_NE(display_->gdi.SelectObject(memory, bitmap), NoBitmap);
  Dc surfaceDc{};
  ASSERT_EQ(staging->GetDC(&surfaceDc), DD_OK);
  Dc second{};
  EXPECT_EQ(staging->GetDC(&second), DDERR_DCALREADYCREATED);
  EXPECT_TRUE(display_->gdi.BitBlt(surfaceDc, 0, 0, 2, 2, memory, 0, 0, SRCCOPY));
  ASSERT_EQ(staging->ReleaseDC(surfaceDc), DD_OK);
  display_->gdi.SelectObject(memory, MemoryGdi::stockBitmap);
  EXPECT_TRUE(display_->gdi.DeleteDC(memory));
  EXPECT_TRUE(display_->gdi.DeleteObject(bitmap));

  ASSERT_EQ(texture->Blt(nullptr, staging.Get(), nullptr, DDBLT_WAIT), DD_OK);
  std::vector<uint8_t> rgb;
  uint32_t w = 0;
  uint32_t h = 0;
  ASSERT_EQ(ReadSurfaceRgb8(texture.Get(), &rgb, &w, &h), DD_OK);
  ASSERT_EQ(w, 4u);
  const Rgb expected[2][2] = {{{255, 0, 0}, {0, 255, 0}}, {{0, 0, 255}, {255, 255, 255}}};
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 4; ++x) {
      const uint8_t* p = rgb.data() + (y * 4 + x) * 3;
      EXPECT_EQ((Rgb{p[0], p[1], p[2]}), expected[y / 2][x / 2]) << x << "," << y;
    }
  }
  RECT outside{0, 0, 5, 5};
  EXPECT_EQ(texture->Blt(&outside, staging.Get(), nullptr, DDBLT_WAIT), DDERR_INVALIDPARAMS);
  EXPECT_EQ(texture->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT), DDERR_INVALIDPARAMS);

  // Only texture surfaces have a texture face.
  Ref<Texture3D> face;
  EXPECT_EQ(QueryInterface(*texture, IID_IDirect3DTexture2, face), S_OK);
  EXPECT_EQ(face->GetSurface(), texture.Get());
  EXPECT_EQ(QueryInterface(*display_->renderTarget, IID_IDirect3DTexture2, face), E_NOINTERFACE);
}

TEST_F(GlDeviceTest, DrawingNeedsAScene) {
  Open(16, 16, 32);
  float xyz[3] = {0, 0, 0};
  D3DDRAWPRIMITIVESTRIDEDDATA data{};
  data.position = {xyz, 0};
  EXPECT_EQ(display_->device->DrawPrimitiveStrided(D3DPT_TRIANGLEFAN, D3DFVF_XYZ, data, 3, 0),
            D3DERR_SCENE_NOT_IN_SCENE);
  EXPECT_EQ(display_->device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
  ASSERT_EQ(display_->device->BeginScene(), DD_OK);
  EXPECT_EQ(display_->device->BeginScene(), D3DERR_SCENE_IN_SCENE);
  EXPECT_EQ(display_->device->DrawPrimitiveStrided(D3DPT_TRIANGLEFAN, D3DFVF_XYZ | D3DFVF_NORMAL,
                                                   data, 3, 0),
            D3DERR_INVALIDVERTEXFORMAT);
  EXPECT_EQ(display_->device->DrawPrimitiveStrided(D3DPT_TRIANGLEFAN, D3DFVF_XYZ | D3DFVF_DIFFUSE,
                                                   data, 3, 0),
            DDERR_INVALIDPARAMS)
      << "a diffuse stream without data";
  EXPECT_EQ(display_->device->EndScene(), DD_OK);
}

TEST_F(GlDeviceTest, BatchesOneStateIntoOneDrawCallAndKeepsTheOrderAcrossStates) {
  Open(32, 32, 32);
  Clear(0);
  ResetGlDriverStats(display_->directDraw.Get());
  ASSERT_EQ(display_->device->BeginScene(), DD_OK);
  Untextured();
  display_->device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
  for (int i = 0; i < 50; ++i) Square(-1, -1, 0, 1, 0x00FF0000);  // left half red, opaque
  Square(-1, -1, 0, 1, 0x00200000);  // then opaque dark red over it: order matters
  display_->device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  display_->device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
  display_->device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
  for (int i = 0; i < 3; ++i) Square(-1, -1, 1, 1, 0x00000050);  // blue added everywhere
  ASSERT_EQ(display_->device->EndScene(), DD_OK);
  const GlDriverStats stats = GetGlDriverStats(display_->directDraw.Get());
  EXPECT_EQ(stats.primitiveCalls, 54u);
  EXPECT_EQ(stats.drawCalls, 2u);
  EXPECT_EQ(Pixel(4, 16), (Rgb{0x20, 0, 0xF0}));
  EXPECT_EQ(Pixel(28, 16), (Rgb{0, 0, 0xF0}));
}

// The sprite quad runs counter-clockwise on screen: the default culling drops it, which
// is why the scene turns culling off.
TEST_F(GlDeviceTest, CullsCounterClockwiseByDefaultAndNothingWithCullNone) {
  Open(16, 16, 32);
  Clear(0);
  ASSERT_EQ(display_->device->BeginScene(), DD_OK);
  display_->device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
  Square(-1, -1, 0, 1, 0x00FFFFFF, true);    // counter-clockwise: culled
  Square(0, -1, 1, 1, 0x00FFFFFF, false);    // clockwise: kept
  ASSERT_EQ(display_->device->EndScene(), DD_OK);
  EXPECT_EQ(Pixel(4, 8), (Rgb{0, 0, 0}));
  EXPECT_EQ(Pixel(12, 8), (Rgb{255, 255, 255}));

  ASSERT_EQ(display_->device->BeginScene(), DD_OK);
  display_->device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  Square(-1, -1, 0, 1, 0x00FFFFFF, true);
  ASSERT_EQ(display_->device->EndScene(), DD_OK);
  EXPECT_EQ(Pixel(4, 8), (Rgb{255, 255, 255}));
}

// The display framework's sequence on this driver: an exclusive 16-bit mode, a primary
// surface with one back buffer, the device on the back buffer, a viewport; frames flip;
// a lost display is reported and restored; releasing in the framework's order leaves no
// reference on the device or the driver, although the back buffer is never released.
TEST_F(GlDeviceTest, FlipChainLifeCycleAsTheDisplayFrameworkDrivesIt) {
  std::string error;
  std::shared_ptr<GlContext> context = CreateHeadlessGlContext(&error);
  ASSERT_TRUE(context) << error;
  GlDriverOptions options;
  options.context = context;
  DirectDraw* directDraw = nullptr;
  ASSERT_EQ(CreateGlDirectDraw(options, &directDraw), DD_OK);
  const Window window{0x1234};
  EXPECT_EQ(directDraw->SetDisplayMode(320, 240, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
  ASSERT_EQ(directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN |
                                                        DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP),
            DD_OK);
  Direct3D* direct3D = nullptr;
  ASSERT_EQ(directDraw->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&direct3D)), S_OK);
  ASSERT_EQ(direct3D->FindDevice(IID_IDirect3DRGBDevice), DD_OK);
  EXPECT_EQ(direct3D->FindDevice(IID_IDirect3DHALDevice), DDERR_NOTFOUND);
  ASSERT_EQ(directDraw->SetDisplayMode(320, 240, 16, 0, 0), DD_OK);

  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  DrawSurface* front = nullptr;
  ASSERT_EQ(directDraw->CreateSurface(&desc, &front), DD_OK);
  DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
  DrawSurface* back = nullptr;
  ASSERT_EQ(front->GetAttachedSurface(caps, &back), DD_OK);
  back->AddRef();  // the render target's own reference
  DrawSurface* renderTarget = back;
  Device3D* device = nullptr;
  ASSERT_EQ(direct3D->CreateDevice(IID_IDirect3DRGBDevice, renderTarget, &device), DD_OK);
  Viewport3D* viewport = nullptr;
  ASSERT_EQ(direct3D->CreateViewport(&viewport), DD_OK);
  D3DVIEWPORT2 v{sizeof(D3DVIEWPORT2), 0, 0, 320, 240, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f, 1.0f};
  ASSERT_EQ(device->AddViewport(viewport), DD_OK);
  ASSERT_EQ(viewport->SetViewport2(v), DD_OK);
  ASSERT_EQ(device->SetCurrentViewport(viewport), DD_OK);

  // Draw into the back buffer, flip: the back buffer now holds the older picture.
  const D3DRECT all{0, 0, 320, 240};
  ASSERT_EQ(viewport->Clear2(1, &all, D3DCLEAR_TARGET, 0x00FFFFFF, 1.0f, 0), DD_OK);
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  std::vector<uint8_t> rgb;
  uint32_t w = 0;
  uint32_t h = 0;
  ASSERT_EQ(ReadSurfaceRgb8(front, &rgb, &w, &h), DD_OK);
  EXPECT_EQ(rgb[0], 255);
  ASSERT_EQ(ReadSurfaceRgb8(back, &rgb, &w, &h), DD_OK);
  EXPECT_EQ(rgb[0], 0);
  EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_INVALIDOBJECT);

  // Another program takes the display.
  SetGlDisplayLost(directDraw, true);
  EXPECT_EQ(directDraw->TestCooperativeLevel(), DDERR_NOEXCLUSIVEMODE);
  EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
  EXPECT_EQ(device->BeginScene(), DDERR_SURFACELOST);
  EXPECT_EQ(front->Restore(), DDERR_WRONGMODE);
  SetGlDisplayLost(directDraw, false);
  EXPECT_EQ(directDraw->TestCooperativeLevel(), DD_OK);
  EXPECT_EQ(front->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(front->Restore(), DD_OK);
  EXPECT_EQ(back->Restore(), DD_OK);
  EXPECT_EQ(front->IsLost(), DD_OK);
  EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(directDraw->FlipToGDISurface(), DD_OK);

  // ReleaseAll's order; the back buffer's GetAttachedSurface reference is never released.
  viewport->Release();
  EXPECT_EQ(device->Release(), 0u);
  renderTarget->Release();
  EXPECT_EQ(front->Release(), 0u);
  direct3D->Release();
  EXPECT_EQ(directDraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
  EXPECT_EQ(directDraw->Release(), 0u);
}

TEST_F(GlDeviceTest, RejectsSurfacesItCannotMake) {
  Open(16, 16, 32);
  int32_t result = 0;
  EXPECT_FALSE(MakeSurface(DDSCAPS_TEXTURE, 0, 8, GlFormatRgb565(), &result));
  EXPECT_EQ(result, DDERR_INVALIDPARAMS);
  EXPECT_FALSE(MakeSurface(DDSCAPS_3DDEVICE, 8, 8, GlFormatArgb4444(), &result));
  EXPECT_EQ(result, DDERR_INVALIDPIXELFORMAT);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  DrawSurface* surface = nullptr;
  EXPECT_EQ(display_->directDraw->CreateSurface(&desc, &surface), DDERR_NOEXCLUSIVEMODE);
  EXPECT_EQ(surface, nullptr);
  desc.dwSize = 12;
  EXPECT_EQ(display_->directDraw->CreateSurface(&desc, &surface), DDERR_INVALIDPARAMS);
}

}  // namespace
}  // namespace nb
