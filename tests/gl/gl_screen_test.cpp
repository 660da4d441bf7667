// What the OpenGL device needs on a screen, headless: where a frame lands in a window of
// another shape, the pace of frames, one current context across several, and the move of
// a whole driver into the context of its hardware device (the window's own on screen; a
// second headless context here) with every surface keeping its pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl/frame_pacer.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/gl_device.h"
#include "platform/gl/gl_formats.h"
#include "platform/gl/gl_present.h"

namespace nb {
namespace {

TEST(Letterbox, KeepsTheAspectAndCentres) {
  auto check = [](uint32_t sw, uint32_t sh, uint32_t tw, uint32_t th, LetterboxRect want) {
    const LetterboxRect r = Letterbox(sw, sh, tw, th);
    EXPECT_EQ(r.x, want.x) << sw << "x" << sh << " in " << tw << "x" << th;
    EXPECT_EQ(r.y, want.y) << sw << "x" << sh << " in " << tw << "x" << th;
    EXPECT_EQ(r.width, want.width) << sw << "x" << sh << " in " << tw << "x" << th;
    EXPECT_EQ(r.height, want.height) << sw << "x" << sh << " in " << tw << "x" << th;
  };
  check(640, 480, 1280, 1024, {0, 32, 1280, 960});     // bars above and below
  check(640, 480, 1920, 1080, {240, 0, 1440, 1080});   // bars at the sides
  check(1920, 1080, 1920, 1080, {0, 0, 1920, 1080});   // the native mode fills the screen
  check(640, 480, 320, 240, {0, 0, 320, 240});         // scaled down
  check(1280, 1024, 500, 250, {93, 0, 313, 250});      // 312.5 wide, rounded
  check(640, 480, 1, 1000, {0, 499, 1, 1});            // never thinner than a pixel
  check(0, 480, 100, 100, {0, 0, 0, 0});
  check(640, 480, 0, 100, {0, 0, 0, 0});
}

class PacerClock {
 public:
  FramePacer Make() {
    return FramePacer([this] { return now; }, [this](uint64_t us) {
      slept.push_back(us);
      now += us;
    });
  }
  uint64_t now = 1000000;
  std::vector<uint64_t> slept;
};

TEST(FramePacer, NeverMoreFramesThanTheDisplayRefreshes) {
  PacerClock clock;
  FramePacer pacer = clock.Make();
  pacer.SetRefreshRate(50.0);  // 20 ms
  pacer.FrameShown();          // the first frame waits for nothing
  EXPECT_TRUE(clock.slept.empty());
  clock.now += 5000;  // a fast frame: waits out the rest of its period
  pacer.FrameShown();
  ASSERT_EQ(clock.slept.size(), 1u);
  EXPECT_EQ(clock.slept[0], 15000u);
  clock.now += 19000;  // the next period is counted from the slot, not from the wake-up
  pacer.FrameShown();
  ASSERT_EQ(clock.slept.size(), 2u);
  EXPECT_EQ(clock.slept[1], 1000u);
  clock.now += 75000;  // a slow frame: no debt, no burst afterwards
  pacer.FrameShown();
  EXPECT_EQ(clock.slept.size(), 2u);
  clock.now += 1000;
  pacer.FrameShown();
  ASSERT_EQ(clock.slept.size(), 3u);
  EXPECT_EQ(clock.slept[2], 19000u);
  EXPECT_EQ(pacer.framesShown(), 5u);
  // Frames are stamped when they went out, before any waiting.
  EXPECT_EQ(pacer.lastFrameAt() - pacer.firstFrameAt(), 5000u + 15000 + 19000 + 1000 + 75000 + 1000);
}

TEST(FramePacer, CountsFramesSecondBySecondWhenAskedAndTellsTheListener) {
  PacerClock clock;
  FramePacer pacer = clock.Make();
  std::vector<uint64_t> heard;
  pacer.SetFrameListener([&](uint64_t at) { heard.push_back(at); });
  pacer.SetEnabled(false);
  pacer.FrameShown();
  clock.now += 3000000;
  pacer.FrameShown();
  // Counts that grow with every second of a night-long run are kept only on request.
  EXPECT_TRUE(pacer.framesEachSecond().empty());
  EXPECT_EQ(heard, (std::vector<uint64_t>{1000000, 4000000}));

  clock.now = 10000000000;  // room for the clock to go back
  FramePacer counting = clock.Make();
  counting.SetCountEachSecond(true);
  counting.SetEnabled(false);
  for (int i = 0; i < 3; ++i) counting.FrameShown();  // second 0
  clock.now += 1500000;
  counting.FrameShown();                               // second 1
  clock.now += 1000000;
  counting.FrameShown();                               // second 2
  counting.FrameShown();
  clock.now -= 3600000000;                             // a clock gone back: not counted
  counting.FrameShown();
  EXPECT_EQ(counting.framesEachSecond(), (std::vector<uint32_t>{3, 1, 2}));
}

TEST(FramePacer, ImplausibleRatesCountAsSixtyAndOffMeansNoWaiting) {
  PacerClock clock;
  FramePacer pacer = clock.Make();
  // A driver's answer that no display has: the period neither rounds to nothing (the
  // loop would spin) nor stretches to a second.
  for (double hz : {0.0, -75.0, 1.0, 19.9, 1000.5, 3000000.0, std::nan("")}) {
    pacer.SetRefreshRate(hz);
    EXPECT_EQ(pacer.RefreshRate(), 60.0) << hz;
    EXPECT_EQ(pacer.periodMicroseconds(), 16667u) << hz;
  }
  pacer.SetRefreshRate(24.0);
  EXPECT_EQ(pacer.periodMicroseconds(), 41667u);
  pacer.SetRefreshRate(360.0);
  EXPECT_EQ(pacer.periodMicroseconds(), 2778u);
  pacer.SetEnabled(false);
  for (int i = 0; i < 10; ++i) pacer.FrameShown();
  EXPECT_TRUE(clock.slept.empty());
}

TEST(FramePacer, AClockThatJumpsNeitherFreezesNorBursts) {
  PacerClock clock;
  clock.now = 10000000000;
  FramePacer pacer = clock.Make();
  pacer.SetRefreshRate(50.0);  // 20 ms
  pacer.FrameShown();
  clock.now += 5000;
  pacer.FrameShown();  // waits 15 ms: the slot is now
  ASSERT_EQ(clock.slept.size(), 1u);
  // An hour back: the next slot would be an hour away. The frame goes out, the periods
  // start again from there.
  clock.now -= 3600000000;
  pacer.FrameShown();
  EXPECT_EQ(clock.slept.size(), 1u);
  clock.now += 2000;
  pacer.FrameShown();
  ASSERT_EQ(clock.slept.size(), 2u);
  EXPECT_EQ(clock.slept[1], 18000u);
  // An hour forward: one frame late, no debt.
  clock.now += 3600000000;
  pacer.FrameShown();
  EXPECT_EQ(clock.slept.size(), 2u);
  clock.now += 1000;
  pacer.FrameShown();
  ASSERT_EQ(clock.slept.size(), 3u);
  EXPECT_EQ(clock.slept[2], 19000u);
  // Idle passes: an hour back waits one period, not an hour.
  clock.now -= 3600000000;
  EXPECT_EQ(pacer.IdleWaitMicroseconds(), 0u);  // a frame went out since the last look
  EXPECT_EQ(pacer.IdleWaitMicroseconds(), 20000u);
  clock.now -= 3600000000;
  EXPECT_EQ(pacer.IdleWaitMicroseconds(), 20000u);
  for (uint64_t wait : clock.slept) EXPECT_LE(wait, 20000u);
}

TEST(FramePacer, IdlePassesWaitOncePerPeriod) {
  PacerClock clock;
  FramePacer pacer = clock.Make();
  pacer.SetRefreshRate(100.0);  // 10 ms
  // Nothing shown yet: a whole period.
  EXPECT_EQ(pacer.IdleWaitMicroseconds(), 10000u);
  clock.now += 10000;
  // Frames are going out: the flips pace the loop, the pump does not wait as well.
  pacer.FrameShown();
  EXPECT_EQ(pacer.IdleWaitMicroseconds(), 0u);
  // None since: what is left of the period, then whole periods.
  clock.now += 4000;
  EXPECT_EQ(pacer.IdleWaitMicroseconds(), 6000u);
  clock.now += 6000;
  EXPECT_EQ(pacer.IdleWaitMicroseconds(), 10000u);
  // Idle waits happen even with pacing off: a loop that shows nothing must not spin.
  pacer.SetEnabled(false);
  clock.now += 10000;
  EXPECT_EQ(pacer.IdleWaitMicroseconds(), 10000u);
}

// A context that is another headless one, counting what the driver asks of it.
class CountingContext final : public GlContext {
 public:
  explicit CountingContext(std::shared_ptr<GlContext> inner) : inner_(std::move(inner)) {}
  ~CountingContext() override { ForgetGlContext(this); }
  bool MakeCurrent() override {
    return !refuse && SwitchGlContext(this, [this] { return inner_->MakeCurrent(); });
  }
  void ReleaseCurrent() override {
    ++releases;
    inner_->ReleaseCurrent();
  }
  void Present(uint32_t texture, uint32_t width, uint32_t height) override {
    ++presents;
    lastTexture = texture;
    lastWidth = width;
    lastHeight = height;
  }
  void SetWindow(Window window) override { windows.push_back(window); }
  std::string Renderer() const override { return inner_->Renderer(); }
  bool IsSoftware() const override { return inner_->IsSoftware(); }

  bool refuse = false;  // as a context whose window has gone
  int presents = 0;
  int releases = 0;
  uint32_t lastTexture = 0;
  uint32_t lastWidth = 0;
  uint32_t lastHeight = 0;
  std::vector<Window> windows;

 private:
  std::shared_ptr<GlContext> inner_;
};

std::shared_ptr<CountingContext> MakeCounting() {
  std::string error;
  std::shared_ptr<GlContext> headless = CreateHeadlessGlContext(&error);
  EXPECT_TRUE(headless) << error;
  return headless ? std::make_shared<CountingContext>(headless) : nullptr;
}

TEST(GlContexts, OneIsCurrentAtATimeAndTheOtherIsReleasedFirst) {
  auto first = MakeCounting();
  auto second = MakeCounting();
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(first->MakeCurrent());
  EXPECT_EQ(CurrentGlContext(), first.get());
  EXPECT_TRUE(first->MakeCurrent());  // already current: nothing released
  EXPECT_EQ(first->releases, 0);
  ASSERT_TRUE(second->MakeCurrent());
  EXPECT_EQ(first->releases, 1);
  EXPECT_EQ(CurrentGlContext(), second.get());
  second.reset();  // a context that goes is no longer current
  EXPECT_EQ(CurrentGlContext(), nullptr);
}

struct DriverParts {
  Ref<DirectDraw> directDraw;
  Ref<Direct3D> direct3D;
  Ref<DrawSurface> front;
  Ref<DrawSurface> back;
};

void BuildChain(const GlDriverOptions& options, uint32_t width, uint32_t height, DriverParts* parts) {
  ASSERT_EQ(CreateGlDirectDraw(options, parts->directDraw.Put()), DD_OK);
  ASSERT_EQ(QueryInterface(*parts->directDraw, IID_IDirect3D3, parts->direct3D), S_OK);
  ASSERT_EQ(parts->directDraw->SetCooperativeLevel(Window{0x40000010}, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
            DD_OK);
  ASSERT_EQ(parts->directDraw->SetDisplayMode(width, height, 16, 0, 0), DD_OK);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  ASSERT_EQ(parts->directDraw->CreateSurface(&desc, parts->front.Put()), DD_OK);
  DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
  ASSERT_EQ(parts->front->GetAttachedSurface(caps, parts->back.Put()), DD_OK);
}

// Fills a surface with one colour through Lock, in its own format.
void Fill(DrawSurface* surface, uint32_t rgb) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT), DD_OK);
  for (uint32_t y = 0; y < desc.dwHeight; ++y) {
    auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch);
    for (uint32_t x = 0; x < desc.dwWidth; ++x) row[x] = static_cast<uint16_t>(GlPackRgb(desc.ddpfPixelFormat, rgb));
  }
  ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
}

uint32_t PixelAt(DrawSurface* surface, uint32_t x, uint32_t y) {
  std::vector<uint8_t> rgb;
  uint32_t w = 0;
  uint32_t h = 0;
  EXPECT_EQ(ReadSurfaceRgb8(surface, &rgb, &w, &h), DD_OK);
  const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * w + x) * 3;
  return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

TEST(GlHardwareDevice, DriverMovesIntoItsContextWithEverySurface) {
  auto base = MakeCounting();
  auto windowContext = MakeCounting();
  ASSERT_TRUE(base && windowContext);
  std::vector<Window> askedFor;
  GlDriverOptions options;
  options.context = base;
  options.hardwareDevice = true;
  options.hardwareContext = [&](Window window) -> std::shared_ptr<GlContext> {
    askedFor.push_back(window);
    return windowContext;
  };
  DriverParts parts;
  BuildChain(options, 64, 48, &parts);
  ASSERT_TRUE(parts.back);
  EXPECT_EQ(base->windows.back(), Window{0x40000010});
  Fill(parts.back.Get(), 0xFF0000);
  Fill(parts.front.Get(), 0x0000FF);

  Ref<Device3D> device;
  ASSERT_EQ(parts.direct3D->CreateDevice(IID_IDirect3DHALDevice, parts.back.Get(), device.Put()), DD_OK);
  ASSERT_EQ(askedFor.size(), 1u);
  EXPECT_EQ(askedFor[0], Window{0x40000010});
  EXPECT_EQ(windowContext->windows.back(), Window{0x40000010});
  // Both buffers came along with their pixels.
  EXPECT_EQ(PixelAt(parts.back.Get(), 10, 10), 0xFF0000u);
  EXPECT_EQ(PixelAt(parts.front.Get(), 63, 47), 0x0000FFu);
  EXPECT_EQ(CurrentGlContext(), windowContext.get());

  // The device draws in its context, and flips show frames there, not in the base one.
  Ref<Viewport3D> viewport;
  ASSERT_EQ(parts.direct3D->CreateViewport(viewport.Put()), DD_OK);
  D3DVIEWPORT2 v{sizeof(D3DVIEWPORT2), 0, 0, 64, 48, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f, 1.0f};
  ASSERT_EQ(device->AddViewport(viewport.Get()), DD_OK);
  ASSERT_EQ(viewport->SetViewport2(v), DD_OK);
  ASSERT_EQ(device->SetCurrentViewport(viewport.Get()), DD_OK);
  ASSERT_EQ(device->BeginScene(), DD_OK);
  const D3DRECT all{0, 0, 64, 48};
  ASSERT_EQ(viewport->Clear2(1, &all, D3DCLEAR_TARGET, 0x0000FF00, 1.0f, 0), DD_OK);
  ASSERT_EQ(device->EndScene(), DD_OK);
  EXPECT_EQ(PixelAt(parts.back.Get(), 5, 5), 0x00FF00u);
  ASSERT_EQ(parts.front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(windowContext->presents, 1);
  EXPECT_EQ(base->presents, 0);
  EXPECT_EQ(windowContext->lastWidth, 64u);

  // A texture made afterwards lives in the device's context and is drawn with.
  DDSURFACEDESC2 texture{};
  texture.dwSize = sizeof(texture);
  texture.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  texture.dwWidth = 8;
  texture.dwHeight = 8;
  texture.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  texture.ddpfPixelFormat = GlFormatRgb565();
  Ref<DrawSurface> textureSurface;
  EXPECT_EQ(parts.directDraw->CreateSurface(&texture, textureSurface.Put()), DD_OK);

  textureSurface.Reset();
  viewport.Reset();
  device.Reset();
  parts.back.Reset();
  parts.front.Reset();
  parts.direct3D.Reset();
  EXPECT_EQ(parts.directDraw.Reset(), 0u);
}

// Draws a red square over the whole target with the device's own programs.
void DrawRedSquare(Direct3D* direct3D, Device3D* device, uint32_t width, uint32_t height) {
  Ref<Viewport3D> viewport;
  ASSERT_EQ(direct3D->CreateViewport(viewport.Put()), DD_OK);
  D3DVIEWPORT2 v{sizeof(D3DVIEWPORT2), 0, 0, width, height, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f, 1.0f};
  ASSERT_EQ(device->AddViewport(viewport.Get()), DD_OK);
  ASSERT_EQ(viewport->SetViewport2(v), DD_OK);
  ASSERT_EQ(device->SetCurrentViewport(viewport.Get()), DD_OK);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  struct V {
    float x, y, z;
    D3DCOLOR c;
  };
  V square[4] = {{1, -1, 0.5f, 0xFFFF0000}, {1, 1, 0.5f, 0xFFFF0000}, {-1, 1, 0.5f, 0xFFFF0000},
                 {-1, -1, 0.5f, 0xFFFF0000}};
  D3DDRAWPRIMITIVESTRIDEDDATA data{};
  data.position = {&square[0].x, sizeof(V)};
  data.diffuse = {&square[0].c, sizeof(V)};
  ASSERT_EQ(device->BeginScene(), DD_OK);
  const D3DRECT all{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
  ASSERT_EQ(viewport->Clear2(1, &all, D3DCLEAR_TARGET, 0, 1.0f, 0), DD_OK);
  EXPECT_EQ(device->DrawPrimitiveStrided(D3DPT_TRIANGLEFAN, D3DFVF_XYZ | D3DFVF_DIFFUSE, data, 4, 0),
            DD_OK);
  ASSERT_EQ(device->EndScene(), DD_OK);
}

TEST(GlHardwareDevice, MovingAwayFromAContextThatIsGoneMakesEverythingAfresh) {
  auto base = MakeCounting();
  auto windowContext = MakeCounting();
  ASSERT_TRUE(base && windowContext);
  GlDriverOptions options;
  options.context = base;
  options.hardwareDevice = true;
  options.hardwareContext = [&](Window) -> std::shared_ptr<GlContext> { return windowContext; };
  DriverParts parts;
  BuildChain(options, 32, 32, &parts);
  Ref<Device3D> device;
  ASSERT_EQ(parts.direct3D->CreateDevice(IID_IDirect3DHALDevice, parts.back.Get(), device.Put()), DD_OK);
  DrawRedSquare(parts.direct3D.Get(), device.Get(), 32, 32);
  EXPECT_EQ(PixelAt(parts.back.Get(), 16, 16), 0xFF0000u);
  device.Reset();

  // The window's context cannot be made current any more: the software device starts in
  // the base context with programs and surfaces of its own, not the names of the old one.
  windowContext->refuse = true;
  ASSERT_EQ(parts.direct3D->CreateDevice(IID_IDirect3DRGBDevice, parts.back.Get(), device.Put()), DD_OK);
  EXPECT_EQ(CurrentGlContext(), base.get());
  DrawRedSquare(parts.direct3D.Get(), device.Get(), 32, 32);
  EXPECT_EQ(PixelAt(parts.back.Get(), 16, 16), 0xFF0000u);
  EXPECT_EQ(PixelAt(parts.back.Get(), 0, 0), 0xFF0000u);

  device.Reset();
  parts.back.Reset();
  parts.front.Reset();
  parts.direct3D.Reset();
  EXPECT_EQ(parts.directDraw.Reset(), 0u);
}

TEST(GlHardwareDevice, WithoutAWindowContextTheDeviceIsRefused) {
  auto base = MakeCounting();
  ASSERT_TRUE(base);
  GlDriverOptions options;
  options.context = base;
  options.hardwareDevice = true;
  options.hardwareContext = [](Window) -> std::shared_ptr<GlContext> { return nullptr; };
  DriverParts parts;
  BuildChain(options, 32, 32, &parts);
  Fill(parts.back.Get(), 0x00FF00);
  Ref<Device3D> device;
  EXPECT_EQ(parts.direct3D->CreateDevice(IID_IDirect3DHALDevice, parts.back.Get(), device.Put()),
            D3DERR_INITFAILED);
  EXPECT_FALSE(device);
  // The software device still works where it was.
  ASSERT_EQ(parts.direct3D->CreateDevice(IID_IDirect3DRGBDevice, parts.back.Get(), device.Put()), DD_OK);
  EXPECT_EQ(PixelAt(parts.back.Get(), 1, 1), 0x00FF00u);
  ASSERT_EQ(parts.front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(base->presents, 1);
}

TEST(GlPresent, FrameReadBackIsBgraTopRowFirst) {
  auto context = MakeCounting();
  ASSERT_TRUE(context);
  GlDriverOptions options;
  options.context = context;
  DriverParts parts;
  BuildChain(options, 4, 2, &parts);
  // A 5-6-5 picture: the top row red, the bottom row a blue of 5-bit value 1.
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  ASSERT_EQ(parts.back->Lock(nullptr, &desc, DDLOCK_WAIT), DD_OK);
  auto* rows = static_cast<uint8_t*>(desc.lpSurface);
  for (uint32_t x = 0; x < 4; ++x) {
    reinterpret_cast<uint16_t*>(rows)[x] = 0xF800;
    reinterpret_cast<uint16_t*>(rows + desc.lPitch)[x] = 0x0001;
  }
  ASSERT_EQ(parts.back->Unlock(nullptr), DD_OK);
  // Flip: the picture goes to the front, and Present gets the front's texture.
  ASSERT_EQ(parts.front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  ASSERT_EQ(context->presents, 1);
  ASSERT_TRUE(context->MakeCurrent());
  std::vector<uint8_t> bgra;
  ASSERT_TRUE(ReadTextureBgra(context->lastTexture, 4, 2, &bgra));
  ASSERT_EQ(bgra.size(), 4u * 2 * 4);
  EXPECT_EQ(bgra[0], 0);    // top row: blue
  EXPECT_EQ(bgra[1], 0);    //          green
  EXPECT_EQ(bgra[2], 255);  //          red
  EXPECT_EQ(bgra[16], 8);   // bottom row: a 5-bit 1 widened
  EXPECT_EQ(bgra[18], 0);
  EXPECT_FALSE(ReadTextureBgra(context->lastTexture, 0, 2, &bgra));
}

}  // namespace
}  // namespace nb
