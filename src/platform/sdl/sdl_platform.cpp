// Putting the Linux platform together. Depends on sdl_platform.h and SDL2.
#include "platform/sdl/sdl_platform.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/sdl/termination.h"

namespace nb {
namespace {

Registry& ChooseRegistry(KeyFileRegistry& stored,
                         std::unique_ptr<SettingsOverrideRegistry>& overrides,
                         const SdlPlatformOptions& options) {
  std::map<std::string, std::string> texts;
  if (options.extraShow) {
    // The saved device choice, as the enumeration will name the extra show's display (its
    // only driver), device and mode.
    const ExtraShow& show = *options.extraShow;
    DisplayDriverTexts(0, &texts["A"], &texts["B"]);
    texts["C"] = show.hardware ? glHardwareDeviceName : glSoftwareDeviceName;
    texts["D"] = std::to_string(show.width) + " x " + std::to_string(show.height) + " x " +
                 std::to_string(show.bitsPerPixel);
  }
  if (options.overrides.empty() && texts.empty()) return stored;
  overrides = std::make_unique<SettingsOverrideRegistry>(stored, options.settingsKey,
                                                         options.overrides, texts);
  return *overrides;
}

SdlWindowOptions WindowOptions(SdlWindowOptions windows, const SdlPlatformOptions& options,
                               bool wayland) {
  windows.canvas = wayland;
  windows.coverOthers = !options.extraShow;
  return windows;
}

SdlGraphicsOptions GraphicsOptions(const SdlPlatformOptions& options, bool wayland) {
  SdlGraphicsOptions graphics{options.hardwareDevice, options.showFps};
  graphics.logicalDesktop = wayland;
  if (options.extraShow) {
    graphics.extraDisplay = options.extraShow->display;
    graphics.extraMode = GlDisplayMode{options.extraShow->width, options.extraShow->height,
                                       options.extraShow->bitsPerPixel};
  }
  return graphics;
}

}  // namespace

SdlPlatform::Session::Session(bool needsX) {
  // The program ends on its own signals (termination.h); SDL must not take them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Window framebuffers straight through X (shared memory), not through a GL renderer.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // The desktop's screensaver is held off only while the full-screen show runs.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // A full-screen show that loses the focus stays where it is.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // The first click on the show counts, whether or not its window had the focus.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // Wayland where there is a compositor, X otherwise and for windows of other X programs
  // (XScreenSaver's, the preview's parent): left to itself, SDL may settle on its
  // off-screen driver, which shows nothing. The variable still chooses another, as tests
  // do with the dummy driver.
  const bool chosen = std::getenv("SDL_VIDEODRIVER") != nullptr;
  const char* compositor = std::getenv("WAYLAND_DISPLAY");
  const bool tryWayland = !chosen && !needsX && compositor && *compositor;
  if (!chosen) SDL_SetHint(SDL_HINT_VIDEODRIVER, tryWayland ? "wayland" : "x11");
  // SDL's X driver puts back the handler it found at its start before it closes its
  // connection, and that close still sends what SDL queued for windows that may be gone
  // by then (a host destroyed under the show, the child a failed start leaves): with
  // Xlib's default handler there, that error would end the program with status 1.
  InstallXErrorHandler();
  bool up = SDL_Init(SDL_INIT_VIDEO) == 0;
  if (!up && tryWayland) {
    // A compositor that is gone or refuses: X may still be there.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    up = SDL_Init(SDL_INIT_VIDEO) == 0;
  }
  if (up) {
    video = true;
    x11 = std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0;
    wayland = std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0;
    if (x11) InstallXErrorHandler();
  } else {
    error = SDL_GetError();
    SDL_Init(0);  // timers still count
  }
}

SdlPlatform::Session::~Session() { SDL_Quit(); }

SdlPlatform::SdlPlatform(SdlPlatformOptions options)
    : session_(options.needsX),
      link_(session_.x11 ? XLink::Open() : nullptr),
      pacer_(MakeSystemFramePacer()),
      windows_(session_.video, link_.get(), pacer_,
               WindowOptions(options.windows, options, session_.wayland)),
      gdi_(windows_),
      graphics_(windows_, gdi_.memory(), pacer_, GraphicsOptions(options, session_.wayland)),
      registry_(KeyFileRegistry::DefaultPath(), stderr),
      // An idle inhibitor would keep the daemon that started the saver from its later
      // steps (the screens off, the lock); on X the saver holds the desktop's own off.
      system_(session_.video, gdi_,
              SdlSystemOptions{options.windows.presentation == Presentation::FullScreen &&
                                   !session_.wayland,
                               stderr,
                               options.windows.presentation != Presentation::Embedded &&
                                   !options.extraShow},
              link_.get()),
      dialogs_(system_),
      platform_{graphics_, sound_,
                ChooseRegistry(registry_, overrides_, options),
                system_, windows_, gdi_, dialogs_} {
  pacer_.SetEnabled(options.pacing);
  SDL_DisplayMode mode{};
  if (session_.video && SDL_GetCurrentDisplayMode(0, &mode) == 0) {
    pacer_.SetRefreshRate(mode.refresh_rate);
  }
  windows_.SetGlWindowQuery([this] { return graphics_.HardwareDeviceListed(); });
  // A signal ends a dialog as Cancel does; GDK replaces the process's X error handler when
  // GTK starts, and ours must come back (it never ends the program over a vanished window).
  dialogs_.SetCancelRequest([] { return TerminationRequested(); });
  if (link_) dialogs_.SetToolkitStarted([] { InstallXErrorHandler(); });
  windows_.SetVisibilityListener(
      [this](Window window, bool visible) { graphics_.WindowVisibility(window, visible); });
  graphics_.SetShowStartedListener([this](const ShowStarted& started) {
    windows_.StartExtraShows(started.window, started.others, started.hardware);
  });
}

SdlPlatform::~SdlPlatform() = default;

}  // namespace nb
