// The Linux program's platform: SDL2 (video with its hints set for a screensaver, no
// signal handlers of its own), the program's own X connection and error handler, and
// every adapter of this folder put together into one Platform record, with the registry
// behind the command line's setting overrides.
// SDL drives Wayland itself where WAYLAND_DISPLAY names a compositor (and X where only
// DISPLAY is set, or where the run draws into windows of other X programs): there the
// windows show their pixels through GL canvases in the outputs' own pixels, the native
// modes are the outputs' sizes in pixels, and the saver holds no idle inhibitor, so that
// the idle daemon that started it still turns the screens off and locks them.
// The dialogs are GTK's; GTK is started by the dialog system itself when the first dialog
// is asked for (gtk_init_check), so the show never loads it.
// Depends on every adapter of src/platform/sdl.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/gl/frame_pacer.h"
#include "platform/platform.h"
#include "platform/sdl/key_file_registry.h"
#include "platform/sdl/gtk_dialogs.h"
#include "platform/sdl/sdl_gdi.h"
#include "platform/sdl/sdl_graphics.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/sdl/sdl_system.h"
#include "platform/sdl/sdl_window.h"
#include "platform/sdl/settings_override.h"
#include "platform/sdl/x_link.h"

namespace nb {

struct SdlPlatformOptions {
  SdlWindowOptions windows;
  bool pacing = true;           // false: frames as fast as they come (for measurements)
  int32_t hardwareDevice = -1;  // see SdlGraphicsOptions
  bool showFps = false;         // see SdlGraphicsOptions
  std::string settingsKey;      // the key whose values overrides answer
  std::map<std::string, uint32_t> overrides;  // value name -> number, for this run only
  // The run draws into X windows of other programs (--window-id, --root, the preview):
  // SDL drives X even on a Wayland desktop (through Xwayland).
  bool needsX = false;
  // An extra show of --monitors each: its display, mode and device, chosen for this run.
  std::optional<ExtraShow> extraShow;
};

class SdlPlatform {
 public:
  explicit SdlPlatform(SdlPlatformOptions options);
  ~SdlPlatform();
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  // Whether SDL's video came up; why not when it did not.
  bool video() const { return session_.video; }
  const std::string& videoError() const { return session_.error; }
  // Whether SDL drives a Wayland compositor (not X).
  bool wayland() const { return session_.wayland; }
  Platform& ports() { return platform_; }
  XLink* link() { return link_.get(); }
  SdlWindowSystem& windows() { return windows_; }
  FramePacer& pacer() { return pacer_; }

 private:
  // SDL itself: started first and quit last, after every adapter has let go of it.
  struct Session {
    explicit Session(bool needsX);
    ~Session();
    bool video = false;
    bool x11 = false;      // SDL's video driver is X's
    bool wayland = false;  // SDL's video driver is Wayland's
    std::string error;
  };
  Session session_;
  std::unique_ptr<XLink> link_;
  FramePacer pacer_;
  SdlWindowSystem windows_;
  SdlGdi gdi_;
  SdlGraphicsSystem graphics_;
  SdlSoundSystem sound_;
  KeyFileRegistry registry_;
  std::unique_ptr<SettingsOverrideRegistry> overrides_;
  SdlSystem system_;
  GtkDialogSystem dialogs_;
  Platform platform_;
};

}  // namespace nb
