// The graphics port on SDL's dummy video driver with the headless OpenGL device: one
// driver for the display, the devices and modes the catalogue sees, the display framework's
// whole sequence into a window (frames letterboxed into it), the display lost while the
// window is hidden and restored after, the hardware device refused where a window has no
// OpenGL, and the preview's window contexts.
#include "platform/sdl/sdl_graphics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/device_catalog.h"
#include "display/display_framework.h"
#include "display/result_codes.h"
#include "platform/fake/fake_platform.h"
#include "platform/gl/gl_present.h"
#include "platform/sdl/sdl_gdi.h"

namespace nb {
namespace {

intptr_t QuietProc(Window, uint32_t, uintptr_t, intptr_t) { return 0; }

struct Driver {
  std::string description;
  std::string name;
  bool primary;
};

int32_t CollectDriver(const GUID* guid, const char* description, const char* name, void* context) {
  static_cast<std::vector<Driver>*>(context)->push_back({description, name, guid == nullptr});
  return DDENUMRET_OK;
}

int32_t CollectDevice(const GUID*, const char*, const char* name, const D3DDEVICEDESC*,
                      const D3DDEVICEDESC*, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(name);
  return D3DENUMRET_OK;
}

int32_t CollectMode(const DDSURFACEDESC2* mode, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(
      std::to_string(mode->dwWidth) + "x" + std::to_string(mode->dwHeight) + "x" +
      std::to_string(mode->ddpfPixelFormat.dwRGBBitCount));
  return DDENUMRET_OK;
}

class SdlGraphicsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  }
  static void TearDownTestSuite() { SDL_Quit(); }
  void TearDown() override { ResetDeviceCatalog(); }

  void Make(int32_t hardware) {
    windows_ = std::make_unique<SdlWindowSystem>(true, nullptr, pacer_, SdlWindowOptions{});
    gdi_ = std::make_unique<SdlGdi>(*windows_);
    graphics_ = std::make_unique<SdlGraphicsSystem>(*windows_, gdi_->memory(), pacer_,
                                                    SdlGraphicsOptions{hardware});
    windows_->SetGlWindowQuery([this] { return graphics_->HardwareDeviceListed(); });
    windows_->SetVisibilityListener(
        [this](Window w, bool v) { graphics_->WindowVisibility(w, v); });
    WNDCLASSA saver{0, QuietProc, Instance{1}, 0, ClassBackground::None, "Nightbloom"};
    windows_->RegisterClassA(saver);
  }
  Window ShownWindow() {
    const Window window = windows_->CreateWindowExA(0, "Nightbloom", "", WS_POPUP, 0, 0, 0, 0,
                                                    NoWindow, Instance{1});
    windows_->ShowWindow(window, SW_SHOWNORMAL);
    return window;
  }
  void Pump() {
    WindowEvent event{};
    while (windows_->PeekMessageA(&event, NoWindow, 0, 0, PM_REMOVE)) {
    }
  }
  uint32_t WindowPixel(Window window, int x, int y) {
    SDL_Surface* surface = windows_->Framebuffer(window);
    Uint8 r = 0, g = 0, b = 0;
    const auto* row = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
    SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], surface->format, &r, &g, &b);
    return uint32_t{r} << 16 | uint32_t{g} << 8 | b;
  }

  FramePacer pacer_ = MakeSystemFramePacer();
  std::unique_ptr<SdlWindowSystem> windows_;
  std::unique_ptr<SdlGdi> gdi_;
  std::unique_ptr<SdlGraphicsSystem> graphics_;
  fake::FakePlatform fake_;  // for its registry
};

TEST_F(SdlGraphicsTest, OneDriverPerDisplayWithItsDevicesAndModes) {
  Make(0);
  EXPECT_TRUE(graphics_->IsDirectDrawLoaded());
  std::vector<Driver> drivers;
  ASSERT_EQ(graphics_->DirectDrawEnumerateExA(CollectDriver, &drivers, 7), DD_OK);
  ASSERT_EQ(drivers.size(), static_cast<size_t>(SDL_GetNumVideoDisplays()));
  EXPECT_TRUE(drivers[0].primary);
  EXPECT_EQ(drivers[0].description, "Primary Display Driver");

  Ref<Unknown> first;
  ASSERT_EQ(graphics_->DirectDrawCreate(nullptr, first.Put()), DD_OK);
  Ref<DirectDraw> draw;
  ASSERT_EQ(QueryInterface(*first, IID_IDirectDraw4, draw), S_OK);
  Ref<Direct3D> direct3D;
  ASSERT_EQ(QueryInterface(*draw, IID_IDirect3D3, direct3D), S_OK);
  std::vector<std::string> devices;
  direct3D->EnumDevices(CollectDevice, &devices);
  EXPECT_EQ(devices, (std::vector<std::string>{"RGB Emulation"}));
  std::vector<std::string> modes;
  draw->EnumDisplayModes(0, nullptr, &modes, CollectMode);
  SDL_DisplayMode desktop{};
  SDL_GetDesktopDisplayMode(0, &desktop);
  ASSERT_FALSE(modes.empty());
  EXPECT_EQ(modes[0], std::to_string(desktop.w) + "x" + std::to_string(desktop.h) + "x32");
  EXPECT_NE(std::find(modes.begin(), modes.end(), "640x480x16"), modes.end());
  EXPECT_NE(std::find(modes.begin(), modes.end(), "640x480x32"), modes.end());

  const GUID unknown = DisplayDriverGuid(7);
  Ref<Unknown> none;
  EXPECT_EQ(graphics_->DirectDrawCreate(&unknown, none.Put()), DDERR_INVALIDPARAMS);
}

TEST_F(SdlGraphicsTest, TheHardwareDeviceIsListedWhenAskedFor) {
  Make(1);
  ASSERT_EQ(EnumerateDisplayDevices(*graphics_, fake_.registry, SaverDeviceTest), 0);
  std::vector<std::string> names;
  for (DeviceEntry* d = deviceCatalog.currentDriver->devices; d; d = d->next) names.push_back(d->name);
  EXPECT_EQ(names, (std::vector<std::string>{"RGB Emulation", "Direct3D HAL"}));
  // The saver's first choice is the software device in 640 x 480 x 16.
  EXPECT_STREQ(deviceCatalog.currentDriver->currentDevice->name, "RGB Emulation");
  EXPECT_STREQ(deviceCatalog.currentDriver->currentDevice->currentMode->text, "640 x 480 x 16");

  // A window of the dummy video cannot hold a GL context: the hardware device does not
  // start, and the display framework reports it as its own failure, releasing everything.
  const Window window = ShownWindow();
  DeviceEntry* hal = deviceCatalog.currentDriver->devices->next;
  DisplayFramework framework(*graphics_, *windows_);
  EXPECT_EQ(framework.Initialize(window, &deviceCatalog.currentDriver->guid, &hal->guid,
                                 hal->currentMode),
            ResultCode::No3DDevice);
  EXPECT_EQ(framework.GetDirectDraw(), nullptr);
}

TEST_F(SdlGraphicsTest, TheFrameworkShowsFramesInTheWindowAndSurvivesAHiddenWindow) {
  Make(0);
  ASSERT_EQ(EnumerateDisplayDevices(*graphics_, fake_.registry, SaverDeviceTest), 0);
  DriverEntry* driver = nullptr;
  DeviceEntry* device = nullptr;
  ASSERT_EQ(GetCurrentDevice(&driver, &device), 0);
  const Window window = ShownWindow();
  DisplayFramework framework(*graphics_, *windows_);
  ASSERT_EQ(framework.Initialize(window, &driver->guid, &device->guid, device->currentMode), 0);
  EXPECT_EQ(framework.renderWidth(), 640u);
  Pump();  // the window appears, covering the display
  ASSERT_TRUE(windows_->CanShow(window));

  auto drawRed = [&] {
    ASSERT_EQ(framework.GetDevice()->BeginScene(), DD_OK);
    const D3DRECT all{0, 0, 640, 480};
    framework.GetViewport()->Clear2(1, &all, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0);
    ASSERT_EQ(framework.GetDevice()->EndScene(), DD_OK);
  };
  drawRed();
  ASSERT_EQ(framework.PresentFrame(), DD_OK);
  SDL_Surface* surface = windows_->Framebuffer(window);
  ASSERT_NE(surface, nullptr);
  const LetterboxRect box = Letterbox(640, 480, static_cast<uint32_t>(surface->w),
                                      static_cast<uint32_t>(surface->h));
  EXPECT_EQ(WindowPixel(window, box.x + box.width / 2, box.y + box.height / 2), 0xFF0000u);
  EXPECT_EQ(WindowPixel(window, box.x + box.width - 1, box.y + box.height - 1), 0xFF0000u);

  // Hidden: the display is another's; no frames until it is back, then restored surfaces.
  windows_->ShowWindow(window, SW_HIDE);
  EXPECT_EQ(framework.GetDirectDraw()->TestCooperativeLevel(), DDERR_NOEXCLUSIVEMODE);
  windows_->ShowWindow(window, SW_SHOW);
  Pump();
  EXPECT_EQ(framework.GetDirectDraw()->TestCooperativeLevel(), DD_OK);
  EXPECT_EQ(framework.PresentFrame(), DDERR_SURFACELOST);
  framework.RestoreLostSurfaces();
  drawRed();
  EXPECT_EQ(framework.PresentFrame(), DD_OK);
  EXPECT_EQ(framework.ReleaseAll(), 0);
}

TEST_F(SdlGraphicsTest, WindowContextsStretchThePictureIntoTheWindow) {
  Make(0);
  const Window window = windows_->CreateWindowExA(0, "Nightbloom", "", WS_POPUP | WS_VISIBLE, 0,
                                                  0, 40, 20, NoWindow, Instance{1});
  const uint8_t rgb[2 * 3] = {255, 0, 0, 0, 0, 255};  // 2 x 1: red, blue
  const Bitmap picture = gdi_->memory().CreateDib(2, 1, rgb);
  const Dc dc = gdi_->GetDC(window);
  ASSERT_FALSE(IsNone(dc));
  const Dc memory = gdi_->CreateCompatibleDC(dc);
  const Bitmap previous = gdi_->SelectObject(memory, picture);
  EXPECT_TRUE(gdi_->StretchBlt(dc, 0, 0, 40, 20, memory, 0, 0, 2, 1, SRCCOPY));
  gdi_->SelectObject(memory, previous);
  gdi_->DeleteDC(memory);
  EXPECT_EQ(gdi_->ReleaseDC(window, dc), 1);
  EXPECT_EQ(gdi_->ReleaseDC(window, dc), 0);
  EXPECT_EQ(WindowPixel(window, 5, 10), 0xFF0000u);
  EXPECT_EQ(WindowPixel(window, 35, 19), 0x0000FFu);
  EXPECT_TRUE(IsNone(gdi_->GetDC(Window{0x40001230})));
  gdi_->DeleteObject(picture);
}

}  // namespace
}  // namespace nb
