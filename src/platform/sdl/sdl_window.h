// The window port on SDL2: the program's windows behind handles that never collide with X
// window numbers (an X resource number has its top three bits clear; every handle made
// here is at least 0x40000000), the messages the platform sends while windows are made,
// shown and destroyed (WM_GETMINMAXINFO and WM_CREATE inside CreateWindowExA, WM_SIZE on
// showing, WM_PAINT on update, WM_DESTROY), and a message pump that turns SDL's events into
// key, button, mouse-move (WM_SETCURSOR first), size, paint and close messages.
// How the show's window (the first top-level window the program makes) looks depends on
// the presentation: in full screen it covers the display its exclusive display is on (even
// without a window manager) and black windows cover the other displays, or, with the
// extra shows of --monitors each, those shows do (a black window where one cannot start);
// in a window it is
// an ordinary resizable window that only its close box, Esc and q end (they arrive as the
// key that ends the saver; other keys, clicks and mouse moves are not passed on); embedded
// it is a child covering an X window of another program, which takes no input.
// Windows of other programs (the preview's parent) are named by their X window numbers.
// A window that vanishes under the program ends it as a key would (the show) or is
// destroyed (a preview child); a SIGTERM or SIGINT does the same to every window.
// The pump is where the loop waits when it shows no frames (FramePacer).
// Where SDL's window surfaces cannot show pixels one for one (Wayland), every window's
// pixels go through a GL canvas of its own instead (sdl_canvas.h), and windows are made
// in the output's pixels (high DPI).
// Depends on SDL2, x_link.h, termination.h, frame_pacer.h, gl_present.h, sdl_canvas.h,
// monitor_shows.h.
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl/frame_pacer.h"
#include "platform/sdl/monitor_shows.h"
#include "platform/sdl/program_args.h"
#include "platform/sdl/sdl_canvas.h"
#include "platform/sdl/x_link.h"
#include "platform/window.h"

namespace nb {

inline constexpr uintptr_t firstWindowHandle = 0x40000000;

// Virtual-key codes the program sends (the platform's numbers).
inline constexpr uint32_t VK_BACK = 0x08;
inline constexpr uint32_t VK_TAB = 0x09;
inline constexpr uint32_t VK_RETURN = 0x0D;
inline constexpr uint32_t VK_SHIFT = 0x10;
inline constexpr uint32_t VK_CONTROL = 0x11;
inline constexpr uint32_t VK_MENU = 0x12;
inline constexpr uint32_t VK_ESCAPE = 0x1B;
inline constexpr uint32_t VK_SPACE = 0x20;
inline constexpr uint32_t WM_XBUTTONDOWN = 0x020B;
inline constexpr uint32_t WM_XBUTTONUP = 0x020C;
inline constexpr intptr_t HTCLIENT = 1;

// The platform's virtual-key code for an SDL key (0xFF for keys it has no code for).
uint32_t VirtualKeyFor(SDL_Keycode key);

// An SDL window (and the X child it may wrap), destroyed when the last holder lets go:
// a GL context keeps its window alive after the program destroyed the window's handle,
// so that its objects can still be deleted in it.
class SdlWindowRef {
 public:
  // xChild: the X child the program made for the window (destroyed with it), 0 for a
  // window SDL made, which is watched instead so that its end by another program is seen.
  SdlWindowRef(SDL_Window* window, uint64_t xChild, XLink* link);
  ~SdlWindowRef();
  SdlWindowRef(const SdlWindowRef&) = delete;
  SdlWindowRef& operator=(const SdlWindowRef&) = delete;
  SDL_Window* get() const { return window_; }
  uint64_t xChild() const { return xChild_; }
  // The X window behind it (0 when there is no X).
  uint64_t xWindow() const { return xWindow_; }
  // The X window is gone: nothing may be asked of it any more.
  void MarkVanished() { vanished_ = true; }
  bool vanished() const { return vanished_; }

 private:
  SDL_Window* window_;
  uint64_t xChild_;
  uint64_t xWindow_ = 0;
  XLink* link_;
  bool vanished_ = false;
};

struct SdlWindowOptions {
  Presentation presentation = Presentation::FullScreen;
  uint64_t embedHost = 0;  // Presentation::Embedded: the X window to draw in
  int32_t windowWidth = 800;   // Presentation::Window: the first size of the show's window
  int32_t windowHeight = 600;
  // Windows show their pixels through GL canvases, in the output's pixels (Wayland).
  bool canvas = false;
  // In full screen, black windows cover the displays the show is not on (an extra show of
  // --monitors each leaves them to the others).
  bool coverOthers = true;
};

class SdlWindowSystem final : public WindowSystem {
 public:
  // video: SDL's video subsystem is up (without it no window can be made). link: the
  // program's own X connection (null: no windows of other programs). pacer: the pacing
  // the pump's idle waits follow.
  SdlWindowSystem(bool video, XLink* link, FramePacer& pacer, SdlWindowOptions options);
  ~SdlWindowSystem();
  SdlWindowSystem(const SdlWindowSystem&) = delete;
  SdlWindowSystem& operator=(const SdlWindowSystem&) = delete;

  // ---- What the other adapters need
  // Called with a window and whether it can be seen, whenever that changes (hidden,
  // minimized, restored, vanished).
  void SetVisibilityListener(std::function<void(Window, bool)> listener);
  // Asked before each window is made: whether it must be able to hold a GL context.
  void SetGlWindowQuery(std::function<bool()> query);
  bool video() const { return video_; }
  // The X window the show is drawn in when embedded (before the show's window is made).
  void SetEmbedHost(uint64_t host) { options_.embedHost = host; }
  // The SDL window of a handle, kept alive while held; null for none or a foreign window.
  std::shared_ptr<SdlWindowRef> WindowRef(Window window) const;
  // Whether frames shown in the window can be seen now (exists, shown, not minimized,
  // not vanished).
  bool CanShow(Window window) const;
  // Copies a frame (rows of 32-bit 0x00RRGGBB, top first) into the window, scaled with
  // its aspect kept and nearest-neighbour, black around it. False when not shown.
  bool ShowPixels(Window window, const uint32_t* pixels, uint32_t width, uint32_t height);
  // The window's client pixels to draw into, and sending them to the screen.
  SDL_Surface* Framebuffer(Window window);
  void UpdateFramebuffer(Window window);
  // The window takes over display (full screen: covers it, black over the others), and
  // gives it back.
  void BeginExclusive(Window window, int32_t display);
  void EndExclusive(Window window);
  // --monitors each: the extra shows, started once the show's first frame is out (each
  // display of others with its mode) and ended with the exclusive display.
  void SetExtraShows(std::unique_ptr<MonitorShows> shows) { shows_ = std::move(shows); }
  void StartExtraShows(Window window,
                       const std::vector<std::pair<int32_t, GlDisplayMode>>& others,
                       bool hardware);

  // ---- WindowSystem
  uint16_t RegisterClassA(const WNDCLASSA& windowClass) override;
  Window CreateWindowExA(uint32_t exStyle, const char* className, const char* title,
                         uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                         Window parent, Instance instance) override;
  bool ShowWindow(Window window, int32_t command) override;
  bool UpdateWindow(Window window) override;
  bool DestroyWindow(Window window) override;
  bool GetWindowRect(Window window, RECT* out) override;
  bool GetClientRect(Window window, RECT* out) override;
  bool IsWindow(Window window) override;
  bool PeekMessageA(WindowEvent* out, Window filter, uint32_t first, uint32_t last,
                    uint32_t removeFlags) override;
  intptr_t DispatchMessageA(const WindowEvent& event) override;
  void PostQuitMessage(int32_t exitCode) override;
  intptr_t DefWindowProcA(Window window, uint32_t message, uintptr_t wParam,
                          intptr_t lParam) override;
  bool DrawMenuBar(Window window) override;
  bool RedrawWindow(Window window, const RECT* rect, uint32_t flags) override;

 private:
  struct Record;
  struct Blank;
  struct ClassEntry {
    WNDCLASSA description;
    std::string name;
  };
  Record* Find(Window window);
  const Record* Find(Window window) const;
  Record* FindBySdlId(uint32_t id);
  Record* FindByXWindow(uint64_t window);
  Record* Main();
  bool IsForeign(Window window) const;
  intptr_t Send(Window window, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
  void SendSize(Record& record, uintptr_t kind);
  void QueueEndKey(const Record& record);
  void SetVisible(Record& record, bool canBeSeen);
  void Pump();
  void Translate(const SDL_Event& event);
  void MapPending();
  void HandleTermination();
  void HandleXChanges();
  void PaintBackground(Record& record);
  SdlCanvas* CanvasOf(Record& record);
  void AddBlank(Record& record, int32_t display);
  void PaintBlack(Blank& blank);
  bool Matches(const WindowEvent& e, Window filter, uint32_t first, uint32_t last) const;

  bool video_;
  XLink* link_;
  FramePacer& pacer_;
  SdlWindowOptions options_;
  std::function<void(Window, bool)> visibilityListener_;
  std::function<bool()> glQuery_;
  std::map<std::string, ClassEntry> classes_;
  std::map<uintptr_t, std::unique_ptr<Record>> windows_;
  std::vector<uintptr_t> destroying_;
  std::deque<WindowEvent> queue_;
  uintptr_t nextHandle_ = firstWindowHandle;
  uint16_t nextAtom_ = 0xC000;
  uintptr_t mainHandle_ = 0;
  bool mainMade_ = false;
  bool terminationHandled_ = false;
  std::unique_ptr<MonitorShows> shows_;
  bool showsEnded_ = false;
};

}  // namespace nb
