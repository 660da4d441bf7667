// The graphics port of the Linux program: one DirectDraw driver per SDL display (the first
// is the primary display driver, with the null GUID), each the OpenGL device of
// src/platform/gl with the modes of display_modes.h. Its devices:
//  - "RGB Emulation", the software device: renders with Mesa's software rasterizer on the
//    headless EGL context (shared by all drivers), and each finished frame is read back
//    and copied into the window;
//  - "Direct3D HAL", the hardware device: renders in the window's own GL context with the
//    system's OpenGL and draws the frame into the window itself, waiting for the vertical
//    retrace where the driver offers it. Listed only when that OpenGL is not a software
//    rasterizer, or when NIGHTBLOOM_HARDWARE_DEVICE=1 asks for it anyway (tests run its
//    path on Xvfb that way).
// Both show frames letterboxed (the mode's aspect kept, black bars) and paced by the
// FramePacer; with showFps, the frame rate and CPU share go over each frame's picture
// first, in its bottom-left corner. A window that is hidden, minimized or gone makes the driver's display lost
// (surfaces restored once it is back), as an exclusive display is lost on the platform.
// Depends on sdl_window.h, the GL device and SDL's GL functions.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gl/frame_pacer.h"
#include "platform/gl/frame_rate_meter.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/gl_device.h"
#include "platform/gl/gl_text_overlay.h"
#include "platform/gl/memory_gdi.h"
#include "platform/graphics.h"
#include "platform/sdl/sdl_window.h"

namespace nb {

struct SdlGraphicsOptions {
  // 1: list the hardware device whatever the renderer; 0: never; -1: when the system's
  // OpenGL is not a software rasterizer.
  int32_t hardwareDevice = -1;
  // Print the frame rate and the CPU share over every frame shown (--fps).
  bool showFps = false;
  // SDL counts the desktop in the logical units of scaled outputs (its Wayland driver):
  // each display's native mode is its size in pixels, which SDL lists among its modes.
  bool logicalDesktop = false;
  // An extra show's display (-1: none): the one display driver, the primary one, whose
  // modes include extraMode whatever the display reports.
  int32_t extraDisplay = -1;
  GlDisplayMode extraMode{0, 0, 0};
};

// The GUID of the driver of SDL display index (not used for the primary display, whose
// driver has none).
GUID DisplayDriverGuid(int32_t display);

// The description and name of the driver of SDL display index, as the enumeration reports
// them (and the saved device choice holds them). SDL's video must be up for a display
// other than the first.
void DisplayDriverTexts(int32_t display, std::string* description, std::string* name);

// A show's first frame is out on a display: its window, the display, the mode and device
// it runs in, and for every other display the mode an extra show there would run in (its
// own native mode when the show runs in its display's native mode, else the same mode).
struct ShowStarted {
  Window window{};
  int32_t display = 0;
  bool hardware = false;
  std::vector<std::pair<int32_t, GlDisplayMode>> others;
};

class SdlGraphicsSystem final : public GraphicsSystem {
 public:
  SdlGraphicsSystem(SdlWindowSystem& windows, MemoryGdi& bridge, FramePacer& pacer,
                    SdlGraphicsOptions options);
  ~SdlGraphicsSystem();
  SdlGraphicsSystem(const SdlGraphicsSystem&) = delete;
  SdlGraphicsSystem& operator=(const SdlGraphicsSystem&) = delete;

  // Whether the hardware device is offered (the system's OpenGL is looked at once).
  bool HardwareDeviceListed();
  // A window's visibility changed: the displays shown in it are lost or back.
  void WindowVisibility(Window window, bool visible);
  // Called once per exclusive display when its first frame went out.
  void SetShowStartedListener(std::function<void(const ShowStarted&)> listener) {
    showStarted_ = std::move(listener);
  }

  bool IsDirectDrawLoaded() override;
  int32_t DirectDrawEnumerateExA(DDENUMCALLBACKEXA callback, void* context,
                                 uint32_t flags) override;
  int32_t DirectDrawCreate(const GUID* driver, Unknown** out) override;

 private:
  // GL_RENDERER of the system's OpenGL in a window ("" when there is none), looked at once.
  const std::string& windowRenderer();
  class Presenter;
  class WindowContext;
  std::shared_ptr<GlContext> Headless();
  std::shared_ptr<GlContext> MakeWindowContext(Window window);
  void Forget(Presenter* presenter);
  void FirstFrame(Window window, bool hardware);
  std::vector<GlDisplayMode> ModesOf(int32_t display, GlDisplayMode* desktop) const;
  // Counts a frame about to be shown and, with showFps, draws the figures over it (in the
  // current context, whose objects overlay holds).
  void Overlay(GlTextOverlay& overlay, uint32_t texture, uint32_t width, uint32_t height);

  SdlWindowSystem& windows_;
  MemoryGdi& bridge_;
  FramePacer& pacer_;
  SdlGraphicsOptions options_;
  std::shared_ptr<GlContext> headless_;
  bool headlessFailed_ = false;
  int32_t hardwareListed_ = -1;  // -1: not looked at yet
  std::string windowRenderer_;
  bool windowRendererLooked_ = false;
  std::vector<Presenter*> presenters_;
  std::unique_ptr<FrameRateMeter> meter_;  // with showFps only
  std::function<void(const ShowStarted&)> showStarted_;
};

}  // namespace nb
