// The SDL graphics system: drivers per display, the software presenter and the window GL
// context of the hardware device. Depends on sdl_graphics.h, SDL2 and OpenGL.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/sdl/sdl_graphics.h"

#include <GL/glcorearb.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gl/gl_present.h"
#include "platform/sdl/display_modes.h"

namespace nb {
namespace {

void SetCoreProfile() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

}  // namespace

std::vector<GlDisplayMode> SdlGraphicsSystem::ModesOf(int32_t display,
                                                      GlDisplayMode* desktop) const {
  SDL_DisplayMode mode{};
  ScreenSize size{640, 480};
  if (SDL_GetDesktopDisplayMode(display, &mode) == 0) {
    size = ScreenSize{static_cast<uint32_t>(mode.w), static_cast<uint32_t>(mode.h)};
  }
  std::vector<ScreenSize> reported;
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    if (SDL_GetDisplayMode(display, i, &mode) == 0) {
      reported.push_back({static_cast<uint32_t>(mode.w), static_cast<uint32_t>(mode.h)});
    }
  }
  size = PixelSize(size, reported, options_.logicalDesktop);
  *desktop = GlDisplayMode{size.width, size.height, 32};
  return DisplayModeList(size, reported,
                         display == options_.extraDisplay ? options_.extraMode
                                                          : GlDisplayMode{0, 0, 0});
}

void DisplayDriverTexts(int32_t display, std::string* description, std::string* name) {
  if (display == 0) {
    *description = "Primary Display Driver";
    *name = "display";
    return;
  }
  const char* screen = SDL_GetDisplayName(display);
  *description = std::string("Display ") + std::to_string(display + 1) +
                 (screen && *screen ? std::string(" (") + screen + ")" : std::string());
  *name = "display" + std::to_string(display + 1);
}

GUID DisplayDriverGuid(int32_t display) {
  // A fixed family of identifiers, one per display index.
  return GUID{0x6E62D15Cu + static_cast<uint32_t>(display), 0x5D1A, 0x4C0E,
              {0x9A, 0x70, 0x1D, 0x15, 0x91, 0xA7, 0x00, static_cast<uint8_t>(display)}};
}

// The software device's side of a driver: the headless context, and where its frames go.
class SdlGraphicsSystem::Presenter final : public GlContext {
 public:
  Presenter(SdlGraphicsSystem& owner, std::shared_ptr<GlContext> headless, int32_t display)
      : owner_(owner), headless_(std::move(headless)), display_(display) {}
  ~Presenter() override {
    if (!IsNone(window_)) owner_.windows_.EndExclusive(window_);
    if (overlay_.holdsObjects() && headless_->MakeCurrent()) overlay_.Release();
    owner_.Forget(this);
  }

  void SetDriver(DirectDraw* draw) { draw_ = draw; }
  DirectDraw* driver() const { return draw_; }
  Window window() const { return window_; }
  int32_t display() const { return display_; }
  // Whether the first frame of the current exclusive display is yet to be reported.
  bool TakeFirstFrame() {
    const bool first = !started_;
    started_ = true;
    return first;
  }

  bool MakeCurrent() override { return headless_->MakeCurrent(); }
  void ReleaseCurrent() override { headless_->ReleaseCurrent(); }
  void Present(uint32_t texture, uint32_t width, uint32_t height) override {
    if (!owner_.windows_.CanShow(window_)) return;
    owner_.Overlay(overlay_, texture, width, height);
    if (!ReadTextureBgra(texture, width, height, &pixels_)) return;
    // Read back as B, G, R, A bytes: one little-endian 0xAARRGGBB word per pixel.
    static_assert(SDL_BYTEORDER == SDL_LIL_ENDIAN);
    const bool shown = owner_.windows_.ShowPixels(
        window_, reinterpret_cast<const uint32_t*>(pixels_.data()), width, height);
    if (shown) owner_.FirstFrame(window_, false);
    if (shown) owner_.pacer_.FrameShown();
  }
  void SetWindow(Window window) override {
    if (window == window_) return;
    if (!IsNone(window_)) owner_.windows_.EndExclusive(window_);
    window_ = window;
    started_ = false;
    if (IsNone(window_)) return;
    owner_.windows_.BeginExclusive(window_, display_);
    SDL_DisplayMode mode{};
    if (SDL_GetCurrentDisplayMode(display_, &mode) == 0) owner_.pacer_.SetRefreshRate(mode.refresh_rate);
  }
  std::string Renderer() const override { return headless_->Renderer(); }
  bool IsSoftware() const override { return headless_->IsSoftware(); }

 private:
  SdlGraphicsSystem& owner_;
  std::shared_ptr<GlContext> headless_;
  int32_t display_;
  DirectDraw* draw_ = nullptr;  // the driver this presents for (it owns the presenter)
  Window window_{};
  bool started_ = false;
  std::vector<uint8_t> pixels_;
  GlTextOverlay overlay_;  // in the headless context
};

// The hardware device's context: the window's own, made for it alone.
class SdlGraphicsSystem::WindowContext final : public GlContext {
 public:
  WindowContext(SdlGraphicsSystem& owner, Window window, std::shared_ptr<SdlWindowRef> ref,
                SDL_GLContext context)
      : owner_(owner), window_(window), ref_(std::move(ref)), context_(context) {
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    renderer_ = renderer ? renderer : "";
  }
  ~WindowContext() override {
    if (MakeCurrent()) {
      blitter_.Release();
      overlay_.Release();
    }
    ForgetGlContext(this);
    SDL_GL_DeleteContext(context_);
  }

  bool MakeCurrent() override {
    // A window that is gone cannot take its context any more; the context goes with it.
    if (ref_->vanished()) return false;
    return SwitchGlContext(this, [this] { return SDL_GL_MakeCurrent(ref_->get(), context_) == 0; });
  }
  void ReleaseCurrent() override { SDL_GL_MakeCurrent(ref_->get(), nullptr); }
  void Present(uint32_t texture, uint32_t width, uint32_t height) override {
    if (!owner_.windows_.CanShow(window_) || !MakeCurrent()) return;
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(ref_->get(), &drawableWidth, &drawableHeight);
    if (drawableWidth <= 0 || drawableHeight <= 0) return;
    owner_.Overlay(overlay_, texture, width, height);
    if (!blitter_.Draw(texture, width, height, static_cast<uint32_t>(drawableWidth),
                       static_cast<uint32_t>(drawableHeight))) {
      return;
    }
    SDL_GL_SwapWindow(ref_->get());
    owner_.FirstFrame(window_, true);
    owner_.pacer_.FrameShown();
  }
  // Made for one window; the display framework never moves it to another.
  void SetWindow(Window) override {}
  std::string Renderer() const override { return renderer_; }
  bool IsSoftware() const override { return IsSoftwareRenderer(renderer_); }

 private:
  SdlGraphicsSystem& owner_;
  Window window_;
  std::shared_ptr<SdlWindowRef> ref_;
  SDL_GLContext context_;
  GlFrameBlitter blitter_;
  GlTextOverlay overlay_;
  std::string renderer_;
};

SdlGraphicsSystem::SdlGraphicsSystem(SdlWindowSystem& windows, MemoryGdi& bridge,
                                     FramePacer& pacer, SdlGraphicsOptions options)
    : windows_(windows), bridge_(bridge), pacer_(pacer), options_(options) {
  if (options_.showFps) meter_ = std::make_unique<FrameRateMeter>(MakeSystemFrameRateMeter());
}

void SdlGraphicsSystem::Overlay(GlTextOverlay& overlay, uint32_t texture, uint32_t width,
                                uint32_t height) {
  if (!meter_) return;
  meter_->FrameShown();
  overlay.Draw(texture, width, height, meter_->lines());
}

SdlGraphicsSystem::~SdlGraphicsSystem() {
  for (Presenter* presenter : presenters_) presenter->SetDriver(nullptr);
}

void SdlGraphicsSystem::Forget(Presenter* presenter) {
  presenters_.erase(std::remove(presenters_.begin(), presenters_.end(), presenter),
                    presenters_.end());
}

std::shared_ptr<GlContext> SdlGraphicsSystem::Headless() {
  if (!headless_ && !headlessFailed_) {
    std::string why;
    ReleaseCurrentGlContext();
    headless_ = CreateHeadlessGlContext(&why);
    if (!headless_) {
      headlessFailed_ = true;
      std::fprintf(stderr, "nightbloom: no OpenGL for drawing: %s\n", why.c_str());
    }
  }
  return headless_;
}

bool SdlGraphicsSystem::HardwareDeviceListed() {
  if (hardwareListed_ >= 0) return hardwareListed_ != 0;
  if (options_.hardwareDevice >= 0) {
    hardwareListed_ = options_.hardwareDevice;
    return hardwareListed_ != 0;
  }
  hardwareListed_ = !windowRenderer().empty() && !IsSoftwareRenderer(windowRenderer()) ? 1 : 0;
  return hardwareListed_ != 0;
}

const std::string& SdlGraphicsSystem::windowRenderer() {
  if (windowRendererLooked_ || !windows_.video()) return windowRenderer_;
  windowRendererLooked_ = true;
  // A hidden window with a context of its own tells which OpenGL windows get.
  SetCoreProfile();
  SDL_Window* probe = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!probe) return windowRenderer_;
  ReleaseCurrentGlContext();
  if (SDL_GLContext context = SDL_GL_CreateContext(probe)) {
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    windowRenderer_ = renderer ? renderer : "";
    SDL_GL_MakeCurrent(probe, nullptr);
    SDL_GL_DeleteContext(context);
  }
  SDL_DestroyWindow(probe);
  return windowRenderer_;
}

std::shared_ptr<GlContext> SdlGraphicsSystem::MakeWindowContext(Window window) {
  std::shared_ptr<SdlWindowRef> ref = windows_.WindowRef(window);
  if (!ref || ref->vanished() || !(SDL_GetWindowFlags(ref->get()) & SDL_WINDOW_OPENGL)) {
    return nullptr;
  }
  ReleaseCurrentGlContext();
  SetCoreProfile();
  SDL_GLContext context = SDL_GL_CreateContext(ref->get());
  if (!context) {
    std::fprintf(stderr, "nightbloom: no OpenGL context in the window: %s\n", SDL_GetError());
    return nullptr;
  }
  auto result = std::make_shared<WindowContext>(*this, window, ref, context);
  NoteGlContextCurrent(result.get());
  // Flips then wait for the retrace where the driver can; where it cannot, the pacer does.
  SDL_GL_SetSwapInterval(1);
  return result;
}

void SdlGraphicsSystem::FirstFrame(Window window, bool hardware) {
  if (!showStarted_) return;
  for (Presenter* presenter : presenters_) {
    if (presenter->window() != window || !presenter->driver() || !presenter->TakeFirstFrame()) {
      continue;
    }
    DDSURFACEDESC2 current{};
    current.dwSize = sizeof(current);
    if (Failed(presenter->driver()->GetDisplayMode(&current))) return;
    const GlDisplayMode mode{current.dwWidth, current.dwHeight,
                             current.ddpfPixelFormat.dwRGBBitCount};
    ShowStarted started{window, presenter->display(), hardware, {}};
    GlDisplayMode native{};
    ModesOf(started.display, &native);
    const bool inNative = mode.width == native.width && mode.height == native.height;
    for (int32_t display = 0; display < SDL_GetNumVideoDisplays(); ++display) {
      if (display == started.display) continue;
      GlDisplayMode own{};
      ModesOf(display, &own);
      started.others.emplace_back(display, inNative ? own : mode);
    }
    showStarted_(started);
    return;
  }
}

void SdlGraphicsSystem::WindowVisibility(Window window, bool visible) {
  for (Presenter* presenter : presenters_) {
    if (presenter->window() == window && presenter->driver()) {
      SetGlDisplayLost(presenter->driver(), !visible);
    }
  }
}

bool SdlGraphicsSystem::IsDirectDrawLoaded() {
  return windows_.video() && SDL_GetNumVideoDisplays() > 0;
}

int32_t SdlGraphicsSystem::DirectDrawEnumerateExA(DDENUMCALLBACKEXA callback, void* context,
                                                  uint32_t) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (!IsDirectDrawLoaded()) return DD_OK;
  // An extra show's display is its one driver, the primary, so that its software device
  // is offered there (a secondary driver offers hardware devices only).
  const int count = options_.extraDisplay >= 0 ? 1 : SDL_GetNumVideoDisplays();
  for (int display = 0; display < count; ++display) {
    std::string description;
    std::string name;
    DisplayDriverTexts(display, &description, &name);
    const GUID guid = display > 0 ? DisplayDriverGuid(display) : GUID{};
    if (callback(display == 0 ? nullptr : &guid, description.c_str(), name.c_str(), context) ==
        DDENUMRET_CANCEL) {
      break;
    }
  }
  return DD_OK;
}

int32_t SdlGraphicsSystem::DirectDrawCreate(const GUID* driver, Unknown** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!IsDirectDrawLoaded()) return DDERR_NODIRECTDRAWHW;
  int32_t display = -1;
  const int count = SDL_GetNumVideoDisplays();
  if (!driver || *driver == GUID_NULL) {
    display = options_.extraDisplay >= 0 ? options_.extraDisplay : 0;
  } else if (options_.extraDisplay < 0) {
    for (int i = 1; i < count; ++i) {
      if (*driver == DisplayDriverGuid(i)) display = i;
    }
  }
  if (display < 0) return DDERR_INVALIDPARAMS;
  std::shared_ptr<GlContext> headless = Headless();
  if (!headless) return DDERR_NODIRECTDRAWHW;

  auto presenter = std::make_shared<Presenter>(*this, headless, display);
  GlDriverOptions options;
  options.context = presenter;
  options.dcBridge = &bridge_;
  options.modes = ModesOf(display, &options.desktop);
  options.hardwareDevice = HardwareDeviceListed();
  if (options.hardwareDevice) {
    options.hardwareContext = [this](Window window) { return MakeWindowContext(window); };
  }
  DirectDraw* draw = nullptr;
  const int32_t result = CreateGlDirectDraw(options, &draw);
  if (Failed(result)) return result;
  presenter->SetDriver(draw);
  presenters_.push_back(presenter.get());
  *out = draw;
  return DD_OK;
}

}  // namespace nb
