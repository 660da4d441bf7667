// The display framework on the fake DirectDraw: what a successful start builds, the code
// of every step that can fail with nothing left referenced afterwards, the release order
// and its report of references that outlive it, presenting, GDI hand-over and restoring
// lost surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "catalog_fixture.h"
#include "display/display_framework.h"
#include "platform/fake/fake_platform.h"

namespace nb {
namespace {

using test::Hardware;
using test::Modes;
using test::Primary;

class FrameworkTest : public ::testing::Test {
 public:
  FrameworkTest() {
    fake.graphics.drivers = {Primary({Hardware("Direct3D HAL")},
                                     Modes({{640, 480, 16}, {800, 600, 32}, {640, 480, 8}, {320, 200, 4}}))};
    window = fake.windows.AddForeignWindow(RECT{0, 0, 640, 480});
    mode.surfaceDesc = fake::MakeMode(640, 480, 16);
  }

  int32_t Start() { return framework.Initialize(window, &driverGuid, &deviceGuid, &mode); }

  fake::FakeSurface* PrimarySurface() const {
    for (fake::FakeSurface* surface : fake.graphics.Surfaces()) {
      if (surface->isPrimary() && !surface->dead()) return surface;
    }
    return nullptr;
  }

  // Index of the first (or last) recorded call of that name, or -1.
  long FirstCall(const std::string& name) const { return FindCall(name, false); }
  long LastCall(const std::string& name) const { return FindCall(name, true); }

  fake::FakePlatform fake;
  Window window{};
  GUID driverGuid = GUID_NULL;
  GUID deviceGuid = IID_IDirect3DHALDevice;
  ModeEntry mode{};
  DisplayFramework framework{fake.graphics, fake.windows};

 private:
  long FindCall(const std::string& name, bool last) const {
    const auto& calls = fake.world.Calls();
    long found = -1;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (fake::NameMatches(calls[i].name, name)) {
        found = static_cast<long>(i);
        if (!last) break;
      }
    }
    return found;
  }
};

TEST_F(FrameworkTest, StartBuildsAnExclusiveFlipChainDeviceAndViewport) {
  ASSERT_EQ(Start(), S_OK);

  const auto cooperative = fake.world.CallsNamed("DirectDraw::SetCooperativeLevel");
  ASSERT_EQ(cooperative.size(), 1u);
  EXPECT_EQ(cooperative[0].args.at(1), 0x813);
  const auto setMode = fake.world.CallsNamed("DirectDraw::SetDisplayMode");
  ASSERT_EQ(setMode.size(), 1u);
  EXPECT_EQ(setMode[0].args, (std::vector<int64_t>{640, 480, 16, 60, 0}));
  const auto created = fake.world.CallsNamed("DirectDraw::CreateSurface");
  ASSERT_EQ(created.size(), 1u) << "no depth buffer or any other surface";
  EXPECT_EQ(created[0].args.at(0), DDSD_CAPS | DDSD_BACKBUFFERCOUNT);
  EXPECT_EQ(created[0].args.at(1), 0x2218);

  fake::FakeSurface* primary = PrimarySurface();
  ASSERT_NE(primary, nullptr);
  ASSERT_EQ(primary->backBuffers().size(), 1u);
  fake::FakeDevice* device = fake.graphics.LastDevice();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(framework.GetDevice(), static_cast<Device3D*>(device));
  EXPECT_EQ(&device->target(), primary->backBuffers()[0]) << "renders into the back buffer";
  EXPECT_EQ(device->config().guid, IID_IDirect3DHALDevice);
  EXPECT_EQ(framework.GetDirectDraw(), static_cast<DirectDraw*>(fake.graphics.LastDirectDraw()));
  EXPECT_EQ(fake.world.RefCount(device), 1u) << "lent without a reference";

  fake::FakeViewport* viewport = device->currentViewport();
  ASSERT_NE(viewport, nullptr);
  EXPECT_EQ(framework.GetViewport(), static_cast<Viewport3D*>(viewport));
  ASSERT_TRUE(viewport->hasData);
  EXPECT_EQ(viewport->data.dwSize, 44u);
  EXPECT_EQ(viewport->data.dwX, 0u);
  EXPECT_EQ(viewport->data.dwY, 0u);
  EXPECT_EQ(viewport->data.dwWidth, 640u);
  EXPECT_EQ(viewport->data.dwHeight, 480u);
  EXPECT_EQ(viewport->data.dvClipX, -1.0f);
  EXPECT_EQ(viewport->data.dvClipY, 1.0f);
  EXPECT_EQ(viewport->data.dvClipWidth, 2.0f);
  EXPECT_EQ(viewport->data.dvClipHeight, 2.0f);
  EXPECT_EQ(viewport->data.dvMinZ, 0.0f);
  EXPECT_EQ(viewport->data.dvMaxZ, 1.0f);

  const RECT* rect = framework.GetViewportRect();
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->right, 640);
  EXPECT_EQ(rect->bottom, 480);
  EXPECT_EQ(fake.world.CountCalls("WindowSystem::GetWindowRect"), 0u) << "the window's size is not read";

  // The viewport goes before the device, and the desktop gets its display back before
  // the DirectDraw object goes.
  fake.world.ClearCalls();
  EXPECT_EQ(framework.ReleaseAll(), S_OK);
  EXPECT_EQ(fake.world.LiveCount(), 0u);
  EXPECT_LT(FirstCall("Viewport3D::Release"), FirstCall("Device3D::Release"));
  const auto normal = fake.world.CallsNamed("DirectDraw::SetCooperativeLevel");
  ASSERT_EQ(normal.size(), 1u);
  EXPECT_EQ(normal[0].args.at(1), DDSCL_NORMAL);
  EXPECT_LT(LastCall("DirectDraw::SetCooperativeLevel"), LastCall("DirectDraw::Release"));
  EXPECT_EQ(framework.GetDevice(), nullptr);
  EXPECT_EQ(framework.GetViewport(), nullptr);
  EXPECT_EQ(framework.GetDirectDraw(), nullptr);
}

TEST_F(FrameworkTest, EveryFailingStepReportsItsCodeAndReleasesEverything) {
  struct Step {
    const char* what;
    std::function<void(FrameworkTest&)> arrange;
    int32_t expected;
  };
  const auto fail = [](const char* call, int32_t result) {
    return [=](FrameworkTest& t) { t.fake.FailCall(call, result); };
  };
  const auto driver = [](FrameworkTest& t) -> fake::FakeDriverConfig& { return t.fake.graphics.drivers[0]; };
  const Step steps[] = {
      {"no DirectDraw object", fail("DirectDrawCreate", DDERR_NODIRECTDRAWHW), ResultCode::NoDirectDraw},
      {"no IDirectDraw4", [&](FrameworkTest& t) { driver(t).offersDirectDraw4 = false; }, ResultCode::NoDirectDraw},
      {"cooperative level refused", fail("SetCooperativeLevel", DDERR_EXCLUSIVEMODEALREADYSET),
       ResultCode::NoCooperativeLevel},
      {"no IDirect3D3", [&](FrameworkTest& t) { driver(t).offersDirect3D3 = false; }, ResultCode::NoDirect3D},
      {"device not found", fail("FindDevice", DDERR_NOTFOUND), ResultCode::NoDirect3D},
      {"only depth formats with stencil",
       [&](FrameworkTest& t) { driver(t).devices[0].depthFormats = {fake::FormatZBufferStencil(16, 1)}; },
       ResultCode::NoDepthFormat},
      {"no depth formats", [&](FrameworkTest& t) { driver(t).devices[0].depthFormats.clear(); },
       ResultCode::NoDepthFormat},
      {"mode refused", [](FrameworkTest& t) { t.mode.surfaceDesc = fake::MakeMode(1600, 1200, 16); },
       ResultCode::BadDisplayMode},
      {"primary refused", fail("CreateSurface", DDERR_INVALIDPARAMS), ResultCode::NoPrimary},
      {"primary out of video memory", fail("CreateSurface", DDERR_OUTOFVIDEOMEMORY), DDERR_OUTOFVIDEOMEMORY},
      {"no back buffer", fail("GetAttachedSurface", DDERR_NOTFOUND), ResultCode::NoBackBuffer},
      {"back buffer out of video memory", fail("GetAttachedSurface", DDERR_OUTOFVIDEOMEMORY),
       DDERR_OUTOFVIDEOMEMORY},
      {"8-bit display", [](FrameworkTest& t) { t.mode.surfaceDesc = fake::MakeMode(640, 480, 8); },
       ResultCode::NeedHighColorDisplay},
      {"4-bit display", [](FrameworkTest& t) { t.mode.surfaceDesc = fake::MakeMode(320, 200, 4); },
       ResultCode::NeedHighColorDisplay},
      {"device refused", fail("CreateDevice", D3DERR_INVALID_DEVICE), ResultCode::No3DDevice},
      {"device not creatable", [&](FrameworkTest& t) { driver(t).devices[0].creatable = false; },
       ResultCode::No3DDevice},
      {"no viewport", fail("CreateViewport", DDERR_OUTOFMEMORY), ResultCode::NoViewport},
      {"viewport not added", fail("AddViewport", DDERR_INVALIDPARAMS), ResultCode::NoViewport},
      {"viewport data refused", fail("SetViewport2", DDERR_INVALIDPARAMS), ResultCode::NoViewport},
      {"viewport not made current", fail("SetCurrentViewport", DDERR_INVALIDPARAMS), ResultCode::NoViewport},
  };
  const fake::FakeDriverConfig original = fake.graphics.drivers[0];
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    fake.graphics.drivers[0] = original;
    mode.surfaceDesc = fake::MakeMode(640, 480, 16);
    fake.world.ClearFailures();
    step.arrange(*this);

    EXPECT_EQ(Start(), step.expected);
    EXPECT_EQ(fake.world.LiveCount(), 0u);
    EXPECT_EQ(framework.GetDevice(), nullptr);
    EXPECT_EQ(framework.GetDirectDraw(), nullptr);
    EXPECT_EQ(framework.PresentFrame(), ResultCode::NoFrontBuffer);
    EXPECT_EQ(fake.graphics.LastDirectDraw(), nullptr);

    // The framework is empty again and starts once the fault is gone.
    fake.graphics.drivers[0] = original;
    mode.surfaceDesc = fake::MakeMode(640, 480, 16);
    fake.world.ClearFailures();
    EXPECT_EQ(Start(), S_OK);
    EXPECT_EQ(framework.ReleaseAll(), S_OK);
    EXPECT_EQ(fake.world.LiveCount(), 0u);
  }
}

TEST_F(FrameworkTest, MissingWindowOrModeIsAnInvalidArgument) {
  EXPECT_EQ(framework.Initialize(NoWindow, &driverGuid, &deviceGuid, &mode), E_INVALIDARG);
  EXPECT_EQ(framework.Initialize(window, &driverGuid, &deviceGuid, nullptr), E_INVALIDARG);
  EXPECT_EQ(framework.Initialize(window, &driverGuid, nullptr, &mode), E_INVALIDARG);
  EXPECT_EQ(fake.world.CountCalls("DirectDrawCreate"), 0u);
}

TEST_F(FrameworkTest, DepthFormatSearchTakesPlainFormatsAndStopsAt16Bits) {
  fake.graphics.drivers[0].devices[0].depthFormats = {
      fake::FormatZBufferStencil(16, 1), fake::FormatZBuffer(24), fake::FormatZBuffer(16), fake::FormatZBuffer(32)};
  ASSERT_EQ(Start(), S_OK);
  EXPECT_EQ(framework.depthFormat().dwZBufferBitDepth, 16u);
  EXPECT_EQ(framework.depthFormat().dwFlags, DDPF_ZBUFFER);
  ASSERT_EQ(framework.ReleaseAll(), S_OK);

  fake.graphics.drivers[0].devices[0].depthFormats = {fake::FormatZBuffer(24), fake::FormatZBuffer(32),
                                                      fake::FormatZBufferStencil(16, 1)};
  ASSERT_EQ(Start(), S_OK);
  EXPECT_EQ(framework.depthFormat().dwZBufferBitDepth, 32u) << "the last plain format without a 16-bit one";
  EXPECT_EQ(fake.world.CountCalls("CreateSurface"), 2u) << "no depth buffer is built from it";
}

TEST_F(FrameworkTest, ReleaseReportsReferencesThatOutliveItAndStillReleasesEverything) {
  ASSERT_EQ(Start(), S_OK);
  Ref<Device3D> keptDevice = Ref<Device3D>::Retain(framework.GetDevice());
  EXPECT_EQ(framework.ReleaseAll(), ResultCode::NonzeroRefCount);
  EXPECT_EQ(framework.GetDevice(), nullptr);
  EXPECT_EQ(framework.PresentFrame(), ResultCode::NoFrontBuffer);
  EXPECT_EQ(fake.world.RefCount(keptDevice.Get()), 1u) << "only the outside reference is left";
  keptDevice.Reset();
  EXPECT_EQ(fake.world.LiveCount(), 0u);

  // A texture the scene forgot holds the DirectDraw object.
  ASSERT_EQ(Start(), S_OK);
  DDSURFACEDESC2 texture{};
  texture.dwSize = sizeof texture;
  texture.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  texture.dwWidth = texture.dwHeight = 16;
  texture.ddpfPixelFormat = fake::FormatRgb565();
  texture.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  Ref<DrawSurface> forgotten;
  ASSERT_EQ(framework.GetDirectDraw()->CreateSurface(&texture, forgotten.Put()), DD_OK);
  EXPECT_EQ(framework.ReleaseAll(), ResultCode::NonzeroRefCount);
  EXPECT_EQ(framework.GetDirectDraw(), nullptr);
  forgotten.Reset();
  EXPECT_EQ(fake.world.LiveCount(), 0u);

  // Nothing to release: nothing done.
  fake.world.ClearCalls();
  EXPECT_EQ(framework.ReleaseAll(), S_OK);
  EXPECT_TRUE(fake.world.Calls().empty());
}

TEST_F(FrameworkTest, PresentFlipsWithWaitAndReportsLossUntilRestored) {
  ASSERT_EQ(Start(), S_OK);
  EXPECT_EQ(framework.PresentFrame(), DD_OK);
  const auto flips = fake.world.CallsNamed("DrawSurface::Flip");
  ASSERT_EQ(flips.size(), 1u);
  EXPECT_EQ(flips[0].args.at(1), 0) << "no target surface";
  EXPECT_EQ(flips[0].args.at(2), DDFLIP_WAIT);
  EXPECT_EQ(PrimarySurface()->flips, 1u);

  fake.world.ClearCalls();
  EXPECT_EQ(framework.RestoreLostSurfaces(), S_OK);
  EXPECT_EQ(fake.world.CountCalls("Restore"), 0u) << "nothing lost, nothing restored";

  fake.graphics.TakeDisplayAway();
  fake.graphics.GiveDisplayBack();
  EXPECT_EQ(framework.PresentFrame(), DDERR_SURFACELOST);
  EXPECT_EQ(framework.RestoreLostSurfaces(), S_OK);
  EXPECT_FALSE(PrimarySurface()->lost);
  EXPECT_FALSE(PrimarySurface()->backBuffers()[0]->lost);
  EXPECT_EQ(framework.PresentFrame(), DD_OK);

  // While the display cannot be had back, restoring fails quietly and is tried again.
  fake.graphics.TakeDisplayAway();
  EXPECT_EQ(framework.RestoreLostSurfaces(), S_OK);
  EXPECT_TRUE(PrimarySurface()->lost);

  ASSERT_EQ(framework.ReleaseAll(), S_OK);
  EXPECT_EQ(framework.PresentFrame(), ResultCode::NoFrontBuffer);
  EXPECT_EQ(framework.RestoreLostSurfaces(), S_OK);
}

TEST_F(FrameworkTest, GdiSurfaceIsShownAndTheWindowFrameRedrawnOnRequest) {
  EXPECT_EQ(framework.ShowGdiSurface(true), S_OK);
  EXPECT_TRUE(fake.world.Calls().empty()) << "nothing to do before the start";

  ASSERT_EQ(Start(), S_OK);
  fake.world.ClearCalls();
  EXPECT_EQ(framework.ShowGdiSurface(false), S_OK);
  EXPECT_EQ(fake.world.CallNames({"FlipToGDISurface", "DrawMenuBar", "RedrawWindow"}),
            (std::vector<std::string>{"FlipToGDISurface"}));

  fake.world.ClearCalls();
  EXPECT_EQ(framework.ShowGdiSurface(true), S_OK);
  EXPECT_EQ(fake.world.CallNames({"FlipToGDISurface", "DrawMenuBar", "RedrawWindow"}),
            (std::vector<std::string>{"FlipToGDISurface", "DrawMenuBar", "RedrawWindow"}));
  const auto redraw = fake.world.CallsNamed("RedrawWindow");
  EXPECT_EQ(redraw[0].args, (std::vector<int64_t>{static_cast<int64_t>(window), 0, RDW_FRAME}));
}

TEST_F(FrameworkTest, DeletingAStartedFrameworkReleasesEverything) {
  {
    DisplayFramework local(fake.graphics, fake.windows);
    ASSERT_EQ(local.Initialize(window, &driverGuid, &deviceGuid, &mode), S_OK);
    EXPECT_GT(fake.world.LiveCount(), 0u);
  }
  EXPECT_EQ(fake.world.LiveCount(), 0u);
  EXPECT_EQ(fake.world.CallsNamed("SetCooperativeLevel").back().args.at(1), DDSCL_NORMAL);
}

}  // namespace
}  // namespace nb
