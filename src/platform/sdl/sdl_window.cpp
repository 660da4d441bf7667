// The SDL window system. Depends on sdl_window.h.
#include "platform/sdl/sdl_window.h"

#include <SDL2/SDL_syswm.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/gl/gl_present.h"
#include "platform/sdl/icon_image.h"
#include "platform/sdl/termination.h"
#include "resources/embedded.h"

namespace nb {

namespace {

std::string Key(const char* name) {
  std::string key = name ? name : "";
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

intptr_t SizeParam(int32_t width, int32_t height) {
  return MakeLParam(static_cast<int16_t>(std::clamp(width, 0, 32767)),
                    static_cast<int16_t>(std::clamp(height, 0, 32767)));
}

// The class's icon resource on the window, for task bars and window lists.
void SetIcon(SDL_Window* window, uint32_t iconResource) {
  const EmbeddedResource* icon = FindEmbeddedResource("ICON", static_cast<int>(iconResource));
  IconImage32 image;
  if (!icon || !DecodeLargestIcon(icon->data, icon->size, &image)) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      image.argb.data(), static_cast<int>(image.width), static_cast<int>(image.height), 32,
      static_cast<int>(image.width * 4), SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return;
  SDL_SetWindowIcon(window, surface);
  SDL_FreeSurface(surface);
}

// SDL only flushes its request to destroy a window. When another program destroyed the
// window first, the error must reach the program's X error handler now: left for later,
// it may surface in SDL_Quit, after SDL has put back Xlib's own handler, which ends the
// process.
void DestroySdlWindow(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  Display* display = SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11
                         ? info.info.x11.display
                         : nullptr;
  SDL_DestroyWindow(window);
  if (display) XSync(display, False);
}

}  // namespace

struct SdlWindowSystem::Blank {
  explicit Blank(SDL_Window* w) : window(w) {}
  ~Blank() {
    canvas.reset();
    DestroySdlWindow(window);
  }
  Blank(const Blank&) = delete;
  Blank& operator=(const Blank&) = delete;
  SDL_Window* window;
  std::unique_ptr<SdlCanvas> canvas;
  bool canvasFailed = false;
};

struct SdlWindowSystem::Record {
  Window handle{};
  std::string className;
  uint32_t style = 0;
  Window parent{};
  bool main = false;
  RECT rect{};  // screen coordinates
  bool visible = false;
  bool minimized = false;
  bool mapped = false;
  bool needsPaint = false;
  bool shownToListener = false;  // what the visibility listener was last told
  std::shared_ptr<SdlWindowRef> sdl;
  std::unique_ptr<SdlCanvas> canvas;  // made at the first use; goes before the window
  bool canvasFailed = false;
  uint32_t sdlId = 0;
  bool exclusive = false;
  std::vector<std::unique_ptr<Blank>> blanks;  // black windows over the other displays

  int32_t width() const { return rect.right - rect.left; }
  int32_t height() const { return rect.bottom - rect.top; }
  bool vanished() const { return sdl && sdl->vanished(); }
  bool embedded() const { return sdl && sdl->xChild() != 0; }
};

uint32_t VirtualKeyFor(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint32_t>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<uint32_t>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70u + static_cast<uint32_t>(key - SDLK_F1);
  switch (key) {
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return VK_RETURN;
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
      return VK_MENU;
    case SDLK_PAGEUP:
      return 0x21;
    case SDLK_PAGEDOWN:
      return 0x22;
    case SDLK_END:
      return 0x23;
    case SDLK_HOME:
      return 0x24;
    case SDLK_LEFT:
      return 0x25;
    case SDLK_UP:
      return 0x26;
    case SDLK_RIGHT:
      return 0x27;
    case SDLK_DOWN:
      return 0x28;
    case SDLK_INSERT:
      return 0x2D;
    case SDLK_DELETE:
      return 0x2E;
    default:
      return 0xFF;
  }
}

SdlWindowRef::SdlWindowRef(SDL_Window* window, uint64_t xChild, XLink* link)
    : window_(window), xChild_(xChild), xWindow_(xChild), link_(link) {
  if (xChild_ || !link_ || !window_) return;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
    xWindow_ = info.info.x11.window;
    link_->Watch(xWindow_);
  }
}

SdlWindowRef::~SdlWindowRef() {
  if (!xChild_ && xWindow_ && link_) link_->Unwatch(xWindow_);
  // SDL leaves a window it did not create alone; the X child is ours to destroy.
  if (window_) DestroySdlWindow(window_);
  if (xChild_ && link_) link_->DestroyChild(xChild_);
}

SdlWindowSystem::SdlWindowSystem(bool video, XLink* link, FramePacer& pacer,
                                 SdlWindowOptions options)
    : video_(video), link_(link), pacer_(pacer), options_(options) {}

SdlWindowSystem::~SdlWindowSystem() {
  for (auto& [handle, record] : windows_) record->blanks.clear();
  if (shows_) shows_->Stop();
}

void SdlWindowSystem::SetVisibilityListener(std::function<void(Window, bool)> listener) {
  visibilityListener_ = std::move(listener);
}

void SdlWindowSystem::SetGlWindowQuery(std::function<bool()> query) { glQuery_ = std::move(query); }

SdlWindowSystem::Record* SdlWindowSystem::Find(Window window) {
  auto it = windows_.find(static_cast<uintptr_t>(window));
  return it == windows_.end() ? nullptr : it->second.get();
}

const SdlWindowSystem::Record* SdlWindowSystem::Find(Window window) const {
  auto it = windows_.find(static_cast<uintptr_t>(window));
  return it == windows_.end() ? nullptr : it->second.get();
}

SdlWindowSystem::Record* SdlWindowSystem::FindBySdlId(uint32_t id) {
  for (auto& [handle, record] : windows_) {
    if (record->sdlId == id && id != 0) return record.get();
    for (const auto& blank : record->blanks) {
      // Input over the black displays belongs to the show's window.
      if (SDL_GetWindowID(blank->window) == id) return record.get();
    }
  }
  return nullptr;
}

SdlWindowSystem::Record* SdlWindowSystem::FindByXWindow(uint64_t window) {
  for (auto& [handle, record] : windows_) {
    if (record->sdl && record->sdl->xWindow() == window) return record.get();
  }
  return nullptr;
}

SdlWindowSystem::Record* SdlWindowSystem::Main() {
  return mainHandle_ ? Find(Window{mainHandle_}) : nullptr;
}

bool SdlWindowSystem::IsForeign(Window window) const {
  const auto value = static_cast<uintptr_t>(window);
  return value != 0 && value < firstWindowHandle;
}

intptr_t SdlWindowSystem::Send(Window window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) {
  const Record* record = Find(window);
  if (!record) return 0;
  auto it = classes_.find(record->className);
  if (it == classes_.end() || !it->second.description.lpfnWndProc) return 0;
  return it->second.description.lpfnWndProc(window, message, wParam, lParam);
}

void SdlWindowSystem::SendSize(Record& record, uintptr_t kind) {
  Send(record.handle, WM_SIZE, kind, SizeParam(record.width(), record.height()));
}

void SdlWindowSystem::SetVisible(Record& record, bool canBeSeen) {
  if (record.shownToListener == canBeSeen) return;
  record.shownToListener = canBeSeen;
  if (visibilityListener_) visibilityListener_(record.handle, canBeSeen);
}

uint16_t SdlWindowSystem::RegisterClassA(const WNDCLASSA& windowClass) {
  if (!windowClass.lpszClassName || !*windowClass.lpszClassName || !windowClass.lpfnWndProc) {
    return 0;
  }
  const std::string key = Key(windowClass.lpszClassName);
  if (classes_.count(key)) return 0;
  ClassEntry& entry = classes_[key];
  entry.description = windowClass;
  entry.name = windowClass.lpszClassName;
  entry.description.lpszClassName = entry.name.c_str();
  return nextAtom_++;
}

Window SdlWindowSystem::CreateWindowExA(uint32_t, const char* className, const char* title,
                                        uint32_t style, int32_t x, int32_t y, int32_t width,
                                        int32_t height, Window parent, Instance) {
  const std::string key = Key(className);
  if (!video_ || !classes_.count(key) || width < 0 || height < 0) return NoWindow;
  const bool child = (style & WS_CHILD) != 0;
  const bool gl = glQuery_ && glQuery_();
  SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, gl ? "1" : "0");

  auto record = std::make_unique<Record>();
  record->className = key;
  record->style = style;
  record->parent = parent;
  uint64_t xChild = 0;
  SDL_Window* window = nullptr;

  if (child) {
    // Only windows of other programs take children here: the preview's parent.
    if (!IsForeign(parent) || !link_) return NoWindow;
    xChild = link_->CreateChild(static_cast<uint64_t>(parent), width, height);
    if (!xChild) return NoWindow;
  } else if (!mainMade_ && options_.presentation == Presentation::Embedded) {
    if (!link_) return NoWindow;
    xChild = link_->CreateChild(options_.embedHost, 0, 0);
    if (!xChild) return NoWindow;
    record->main = true;
  }

  if (xChild) {
    window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<uintptr_t>(xChild)));
    if (!window) {
      link_->DestroyChild(xChild);
      return NoWindow;
    }
    if (!link_->WindowRect(xChild, &record->rect)) record->rect = RECT{0, 0, width, height};
    // Made by the program and shown already: it has nothing to wait for.
    record->mapped = true;
  } else {
    uint32_t flags = SDL_WINDOW_HIDDEN | (gl || options_.canvas ? uint32_t{SDL_WINDOW_OPENGL} : 0u);
    if (options_.canvas) flags |= SDL_WINDOW_ALLOW_HIGHDPI;
    int32_t w = width;
    int32_t h = height;
    int32_t left = x;
    int32_t top = y;
    if (!mainMade_ && options_.presentation == Presentation::Window) {
      record->main = true;
      flags |= SDL_WINDOW_RESIZABLE;
      w = options_.windowWidth;
      h = options_.windowHeight;
      left = SDL_WINDOWPOS_CENTERED;
      top = SDL_WINDOWPOS_CENTERED;
    } else {
      if (!mainMade_) record->main = true;
      flags |= SDL_WINDOW_BORDERLESS;
    }
    window = SDL_CreateWindow(title ? title : "", left, top, std::max(w, 1), std::max(h, 1), flags);
    if (!window && gl) {
      // No OpenGL for windows after all: a window without it still shows the software
      // device's frames.
      window = SDL_CreateWindow(title ? title : "", left, top, std::max(w, 1), std::max(h, 1),
                                flags & ~uint32_t{SDL_WINDOW_OPENGL});
    }
    if (!window) return NoWindow;
    SDL_GetWindowPosition(window, &left, &top);
    record->rect = RECT{left, top, left + w, top + h};
    const uint32_t icon = classes_[key].description.iconResource;
    if (icon) SetIcon(window, icon);
  }
  if (record->main) mainMade_ = true;
  record->sdl = std::make_shared<SdlWindowRef>(window, xChild, link_);
  record->sdlId = SDL_GetWindowID(window);
  const Window handle{nextHandle_};
  nextHandle_ += 0x10;
  record->handle = handle;
  if (record->main) mainHandle_ = static_cast<uintptr_t>(handle);
  Record& made = *record;
  windows_[static_cast<uintptr_t>(handle)] = std::move(record);

  MINMAXINFO info{};
  Send(handle, WM_GETMINMAXINFO, 0, reinterpret_cast<intptr_t>(&info));
  if (made.main && options_.presentation == Presentation::Window &&
      info.ptMinTrackSize.x > 0 && info.ptMinTrackSize.y > 0) {
    SDL_SetWindowMinimumSize(window, info.ptMinTrackSize.x, info.ptMinTrackSize.y);
  }
  Send(handle, WM_CREATE, 0, 0);
  if (Find(handle) && (style & WS_VISIBLE)) {
    made.visible = true;
    made.needsPaint = true;
    SetVisible(made, true);
  }
  return handle;
}

bool SdlWindowSystem::ShowWindow(Window window, int32_t command) {
  Record* record = Find(window);
  if (!record) return false;
  const bool wasVisible = record->visible;
  SDL_Window* sdl = record->sdl ? record->sdl->get() : nullptr;
  // Nothing may be asked of an X window that is gone.
  if (record->vanished()) sdl = nullptr;
  if (command == SW_HIDE) {
    record->visible = false;
    if (record->mapped && !record->embedded() && sdl) SDL_HideWindow(sdl);
    if (!record->embedded()) record->mapped = false;
    SetVisible(*record, false);
    return wasVisible;
  }
  record->visible = true;
  if (!wasVisible) record->needsPaint = true;
  if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED) {
    record->minimized = true;
    if (record->mapped && !record->embedded() && sdl) SDL_MinimizeWindow(sdl);
    SendSize(*record, SIZE_MINIMIZED);
    SetVisible(*record, false);
    return wasVisible;
  }
  const bool wasMinimized = record->minimized;
  record->minimized = false;
  if (wasMinimized && record->mapped && sdl) SDL_RestoreWindow(sdl);
  // The window appears at the next pump, so that one made and destroyed again within a
  // message (the password window on this platform) never flashes on the screen.
  SendSize(*record, command == SW_SHOWMAXIMIZED ? SIZE_MAXIMIZED : SIZE_RESTORED);
  if (Find(window)) SetVisible(*record, !record->vanished());
  return wasVisible;
}

bool SdlWindowSystem::UpdateWindow(Window window) {
  Record* record = Find(window);
  if (!record) return false;
  if (record->visible && record->needsPaint) {
    record->needsPaint = false;
    Send(window, WM_PAINT, 0, 0);
  }
  return true;
}

bool SdlWindowSystem::DestroyWindow(Window window) {
  if (!Find(window)) return false;
  const auto handle = static_cast<uintptr_t>(window);
  if (std::find(destroying_.begin(), destroying_.end(), handle) != destroying_.end()) return false;
  destroying_.push_back(handle);
  Send(window, WM_DESTROY, 0, 0);
  std::vector<uintptr_t> children;
  for (const auto& [h, r] : windows_) {
    if (r->parent == window) children.push_back(h);
  }
  for (uintptr_t c : children) {
    if (windows_.count(c)) DestroyWindow(Window{c});
  }
  if (Record* record = Find(window)) {
    record->blanks.clear();
    SetVisible(*record, false);
    if (record->sdl && !record->vanished() && !record->embedded() && record->mapped) {
      SDL_HideWindow(record->sdl->get());
    }
  }
  windows_.erase(handle);
  if (mainHandle_ == handle) mainHandle_ = 0;
  std::erase(destroying_, handle);
  std::erase_if(queue_, [&](const WindowEvent& e) { return e.hwnd == window; });
  return true;
}

bool SdlWindowSystem::GetWindowRect(Window window, RECT* out) {
  if (!out) return false;
  if (const Record* record = Find(window)) {
    *out = record->rect;
    return true;
  }
  return IsForeign(window) && link_ && link_->WindowRect(static_cast<uint64_t>(window), out);
}

bool SdlWindowSystem::GetClientRect(Window window, RECT* out) {
  RECT rect{};
  if (!out || !GetWindowRect(window, &rect)) return false;
  *out = RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top};
  return true;
}

bool SdlWindowSystem::IsWindow(Window window) {
  if (Find(window)) return true;
  return IsForeign(window) && link_ && link_->Exists(static_cast<uint64_t>(window));
}

bool SdlWindowSystem::Matches(const WindowEvent& e, Window filter, uint32_t first,
                              uint32_t last) const {
  if (!IsNone(filter) && e.hwnd != filter) return false;
  if (first == 0 && last == 0) return true;
  return e.message >= first && e.message <= last;
}

bool SdlWindowSystem::PeekMessageA(WindowEvent* out, Window filter, uint32_t first,
                                   uint32_t last, uint32_t removeFlags) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    Pump();
    auto it = std::find_if(queue_.begin(), queue_.end(),
                           [&](const WindowEvent& e) { return Matches(e, filter, first, last); });
    if (it != queue_.end()) {
      if (out) *out = *it;
      if (removeFlags & PM_REMOVE) queue_.erase(it);
      return true;
    }
    // WM_PAINT comes when nothing else is queued, for a window that needs painting.
    if (first == 0 || (first <= WM_PAINT && WM_PAINT <= last)) {
      for (auto& [handle, record] : windows_) {
        if (!record->needsPaint || !record->visible) continue;
        if (!IsNone(filter) && record->handle != filter) continue;
        if (removeFlags & PM_REMOVE) record->needsPaint = false;
        if (out) *out = WindowEvent{record->handle, WM_PAINT, 0, 0};
        return true;
      }
    }
    if (attempt == 1 || (removeFlags & PM_REMOVE) == 0) break;
    // Nothing to do: when no frame went out since the last look, wait for an event or
    // the end of the frame period instead of spinning.
    const uint64_t wait = pacer_.IdleWaitMicroseconds();
    if (wait == 0) break;
    if (video_) {
      SDL_WaitEventTimeout(nullptr, static_cast<int>((wait + 999) / 1000));
    } else {
      SDL_Delay(static_cast<uint32_t>((wait + 999) / 1000));
    }
  }
  return false;
}

intptr_t SdlWindowSystem::DispatchMessageA(const WindowEvent& event) {
  if (IsNone(event.hwnd)) return 0;
  return Send(event.hwnd, event.message, event.wParam, event.lParam);
}

void SdlWindowSystem::PostQuitMessage(int32_t exitCode) {
  queue_.push_back(WindowEvent{NoWindow, WM_QUIT, static_cast<uintptr_t>(static_cast<uint32_t>(exitCode)), 0});
}

intptr_t SdlWindowSystem::DefWindowProcA(Window window, uint32_t message, uintptr_t,
                                         intptr_t) {
  Record* record = Find(window);
  if (!record) return 0;
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT:
      record->needsPaint = false;
      PaintBackground(*record);
      return 0;
    default:
      return 0;
  }
}

void SdlWindowSystem::PaintBackground(Record& record) {
  auto it = classes_.find(record.className);
  if (it == classes_.end() || it->second.description.background != ClassBackground::Black) {
    return;
  }
  if (SDL_Surface* surface = Framebuffer(record.handle)) {
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    UpdateFramebuffer(record.handle);
  }
}

bool SdlWindowSystem::DrawMenuBar(Window window) { return Find(window) != nullptr; }

bool SdlWindowSystem::RedrawWindow(Window window, const RECT*, uint32_t flags) {
  Record* record = Find(window);
  if (!record) return false;
  if (flags & RDW_INVALIDATE) record->needsPaint = true;
  return true;
}

// ---- The pump

void SdlWindowSystem::Pump() {
  HandleTermination();
  HandleXChanges();
  if (shows_) {
    for (const MonitorShows::Ended& ended : shows_->Reap()) {
      Record* main = Main();
      if (!main) break;
      if (!ended.cleanly) {
        std::fprintf(stderr, "nightbloom: the show on display %d failed; it stays black\n",
                     ended.display + 1);
        AddBlank(*main, ended.display);
      } else if (!showsEnded_) {
        // Input on another monitor ended its show: this one ends as if the key were here.
        showsEnded_ = true;
        QueueEndKey(*main);
      }
    }
  }
  MapPending();
  if (!video_) return;
  SDL_Event event;
  while (SDL_PollEvent(&event)) Translate(event);
}

// The show ends through the input that ends it, so that it cleans up as always.
void SdlWindowSystem::QueueEndKey(const Record& record) {
  queue_.push_back(WindowEvent{record.handle, WM_KEYDOWN, VK_ESCAPE, 1});
}

void SdlWindowSystem::HandleTermination() {
  if (terminationHandled_ || !TerminationRequested()) return;
  terminationHandled_ = true;
  // The show ends as if Esc were pressed; a preview ends when its window goes.
  std::vector<uintptr_t> children;
  for (auto& [handle, record] : windows_) {
    if (record->style & WS_CHILD) {
      children.push_back(handle);
    } else {
      QueueEndKey(*record);
    }
  }
  for (uintptr_t child : children) DestroyWindow(Window{child});
}

void SdlWindowSystem::HandleXChanges() {
  if (!link_) return;
  for (const XChange& change : link_->Poll()) {
    Record* record = FindByXWindow(change.window);
    if (!record) continue;
    if (change.kind == XChange::Resized) {
      if (record->sdl) SDL_SetWindowSize(record->sdl->get(), change.width, change.height);
      record->rect.right = record->rect.left + change.width;
      record->rect.bottom = record->rect.top + change.height;
      record->needsPaint = true;
      SendSize(*record, SIZE_RESTORED);
      continue;
    }
    record->sdl->MarkVanished();
    SetVisible(*record, false);
    if (record->style & WS_CHILD) {
      DestroyWindow(record->handle);
    } else {
      QueueEndKey(*record);
    }
  }
}

void SdlWindowSystem::MapPending() {
  for (auto& [handle, record] : windows_) {
    if (record->mapped || !record->visible || record->embedded() || !record->sdl) continue;
    if (record->width() <= 0 || record->height() <= 0) continue;  // nothing to show
    SDL_Window* window = record->sdl->get();
    SDL_ShowWindow(window);
    for (const auto& blank : record->blanks) {
      SDL_ShowWindow(blank->window);
      PaintBlack(*blank);
    }
    if (record->exclusive) SDL_RaiseWindow(window);
    if (record->minimized) SDL_MinimizeWindow(window);
    record->mapped = true;
  }
}

void SdlWindowSystem::Translate(const SDL_Event& event) {
  const bool window = options_.presentation == Presentation::Window;
  const bool embedded = options_.presentation == Presentation::Embedded;
  switch (event.type) {
    case SDL_WINDOWEVENT: {
      Record* record = FindBySdlId(event.window.windowID);
      if (!record) return;
      if (record->sdlId != event.window.windowID) {
        // A black window over another display: it only ever needs its black again.
        const uint8_t what = event.window.event;
        if (what == SDL_WINDOWEVENT_EXPOSED || what == SDL_WINDOWEVENT_SHOWN ||
            what == SDL_WINDOWEVENT_SIZE_CHANGED) {
          for (const auto& blank : record->blanks) {
            if (SDL_GetWindowID(blank->window) == event.window.windowID) PaintBlack(*blank);
          }
        }
        return;
      }
      switch (event.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
          record->needsPaint = true;
          break;
        case SDL_WINDOWEVENT_MOVED:
          record->rect.right += event.window.data1 - record->rect.left;
          record->rect.bottom += event.window.data2 - record->rect.top;
          record->rect.left = event.window.data1;
          record->rect.top = event.window.data2;
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          if (event.window.data1 == record->width() && event.window.data2 == record->height()) {
            break;
          }
          record->rect.right = record->rect.left + event.window.data1;
          record->rect.bottom = record->rect.top + event.window.data2;
          record->needsPaint = true;
          SendSize(*record, SIZE_RESTORED);
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          if (record->minimized) break;
          record->minimized = true;
          SendSize(*record, SIZE_MINIMIZED);
          if (Find(record->handle)) SetVisible(*record, false);
          break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_SHOWN:
          if (!record->visible) break;
          if (record->minimized || !record->shownToListener) {
            record->minimized = false;
            SendSize(*record, event.window.event == SDL_WINDOWEVENT_MAXIMIZED ? SIZE_MAXIMIZED
                                                                               : SIZE_RESTORED);
            if (Find(record->handle)) SetVisible(*record, !record->vanished());
          }
          break;
        case SDL_WINDOWEVENT_HIDDEN:
          // Hidden by someone else (a window manager's workspace switch): frames are lost.
          // The report of a hide of the program's own that was undone since is stale.
          if (record->visible && record->sdl &&
              (SDL_GetWindowFlags(record->sdl->get()) & SDL_WINDOW_SHOWN) == 0) {
            SetVisible(*record, false);
          }
          break;
        case SDL_WINDOWEVENT_CLOSE:
          if (record->main && window) {
            QueueEndKey(*record);
          } else {
            queue_.push_back(WindowEvent{record->handle, WM_CLOSE, 0, 0});
          }
          break;
        default:
          break;
      }
      return;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      Record* record = FindBySdlId(event.key.windowID);
      if (!record) record = Main();
      if (!record || embedded) return;
      const uint32_t vk = VirtualKeyFor(event.key.keysym.sym);
      const bool down = event.type == SDL_KEYDOWN;
      if (window && record->main) {
        // A window on the desktop: only its own keys for leaving reach the show.
        if (down && (vk == VK_ESCAPE || vk == 'Q')) {
          queue_.push_back(WindowEvent{record->handle, WM_KEYDOWN, vk, 1});
        }
        return;
      }
      const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
      const uint32_t message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : WM_KEYUP;
      const intptr_t flags = 1 | (static_cast<intptr_t>(event.key.keysym.scancode & 0xFF) << 16) |
                             (event.key.repeat ? intptr_t{1} << 30 : 0);
      queue_.push_back(WindowEvent{record->handle, message, vk, flags});
      return;
    }
    case SDL_MOUSEMOTION: {
      Record* record = FindBySdlId(event.motion.windowID);
      if (!record || window || embedded) return;
      // The platform asks the window for its cursor before it reports the move.
      Send(record->handle, WM_SETCURSOR, static_cast<uintptr_t>(record->handle),
           HTCLIENT | (static_cast<intptr_t>(WM_MOUSEMOVE) << 16));
      if (Find(record->handle)) {
        queue_.push_back(WindowEvent{record->handle, WM_MOUSEMOVE, 0,
                                     MakeLParam(static_cast<int16_t>(event.motion.x),
                                                static_cast<int16_t>(event.motion.y))});
      }
      return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      Record* record = FindBySdlId(event.button.windowID);
      if (!record || window || embedded) return;
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      uint32_t message = 0;
      uintptr_t wParam = 0;
      switch (event.button.button) {
        case SDL_BUTTON_LEFT:
          message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
          break;
        case SDL_BUTTON_RIGHT:
          message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
          break;
        case SDL_BUTTON_MIDDLE:
          message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
          break;
        default:
          message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
          wParam = MakeWParam(0, event.button.button == SDL_BUTTON_X1 ? 1 : 2);
          break;
      }
      queue_.push_back(WindowEvent{record->handle, message, wParam,
                                   MakeLParam(static_cast<int16_t>(event.button.x),
                                              static_cast<int16_t>(event.button.y))});
      return;
    }
    case SDL_MOUSEWHEEL: {
      Record* record = FindBySdlId(event.wheel.windowID);
      if (!record || window || embedded) return;
      const auto delta = static_cast<int16_t>(std::clamp(event.wheel.y * 120, -32768, 32767));
      queue_.push_back(WindowEvent{record->handle, WM_MOUSEWHEEL,
                                   MakeWParam(0, static_cast<uint16_t>(delta)), 0});
      return;
    }
    default:
      return;
  }
}

// ---- For the other adapters

std::shared_ptr<SdlWindowRef> SdlWindowSystem::WindowRef(Window window) const {
  const Record* record = Find(window);
  return record ? record->sdl : nullptr;
}

bool SdlWindowSystem::CanShow(Window window) const {
  const Record* record = Find(window);
  return record && record->sdl && record->visible && !record->minimized && !record->vanished() &&
         record->mapped && record->width() > 0 && record->height() > 0;
}

SdlCanvas* SdlWindowSystem::CanvasOf(Record& record) {
  if (!options_.canvas || !record.sdl || record.vanished() || record.canvasFailed) return nullptr;
  if (!record.canvas) {
    record.canvas = SdlCanvas::Create(record.sdl->get());
    record.canvasFailed = !record.canvas;
  }
  return record.canvas.get();
}

SDL_Surface* SdlWindowSystem::Framebuffer(Window window) {
  Record* record = Find(window);
  if (!record || !record->sdl || record->vanished()) return nullptr;
  if (options_.canvas) {
    SdlCanvas* canvas = CanvasOf(*record);
    return canvas ? canvas->Surface() : nullptr;
  }
  return SDL_GetWindowSurface(record->sdl->get());
}

void SdlWindowSystem::UpdateFramebuffer(Window window) {
  Record* record = Find(window);
  if (!record || !record->sdl || record->vanished() || !record->mapped) return;
  if (options_.canvas) {
    if (SdlCanvas* canvas = CanvasOf(*record)) canvas->ShowSurface();
    return;
  }
  SDL_UpdateWindowSurface(record->sdl->get());
}

bool SdlWindowSystem::ShowPixels(Window window, const uint32_t* pixels, uint32_t width,
                                 uint32_t height) {
  if (!CanShow(window) || !pixels || width == 0 || height == 0) return false;
  if (options_.canvas) {
    SdlCanvas* canvas = CanvasOf(*Find(window));
    return canvas && canvas->ShowPixels(pixels, width, height);
  }
  SDL_Surface* target = Framebuffer(window);
  if (!target) return false;
  SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint32_t*>(pixels), static_cast<int>(width), static_cast<int>(height), 32,
      static_cast<int>(width * 4), SDL_PIXELFORMAT_RGB888);
  if (!frame) return false;
  const LetterboxRect box = Letterbox(width, height, static_cast<uint32_t>(target->w),
                                      static_cast<uint32_t>(target->h));
  const Uint32 black = SDL_MapRGB(target->format, 0, 0, 0);
  // Only the bars are painted black; the picture covers the rest.
  const SDL_Rect bars[4] = {{0, 0, target->w, box.y},
                            {0, box.y + box.height, target->w, target->h - box.y - box.height},
                            {0, box.y, box.x, box.height},
                            {box.x + box.width, box.y, target->w - box.x - box.width, box.height}};
  for (const SDL_Rect& bar : bars) {
    if (bar.w > 0 && bar.h > 0) SDL_FillRect(target, &bar, black);
  }
  SDL_Rect destination{box.x, box.y, box.width, box.height};
  bool ok = true;
  if (box.width > 0 && box.height > 0) {
    ok = SDL_BlitScaled(frame, nullptr, target, &destination) == 0;
  }
  SDL_FreeSurface(frame);
  SDL_UpdateWindowSurface(Find(window)->sdl->get());
  return ok;
}

void SdlWindowSystem::PaintBlack(Blank& blank) {
  if (!options_.canvas) {
    if (SDL_Surface* surface = SDL_GetWindowSurface(blank.window)) {
      SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
      SDL_UpdateWindowSurface(blank.window);
    }
    return;
  }
  if (!blank.canvas && !blank.canvasFailed) {
    blank.canvas = SdlCanvas::Create(blank.window);
    blank.canvasFailed = !blank.canvas;
  }
  if (blank.canvas) blank.canvas->Fill();
}

// A black window covering the display: placed and sized for a desktop without a window
// manager, full screen for one that places windows itself (every Wayland compositor).
void SdlWindowSystem::AddBlank(Record& record, int32_t display) {
  SDL_Rect bounds{};
  if (SDL_GetDisplayBounds(display, &bounds) != 0) return;
  const uint32_t flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN |
                         (options_.canvas ? uint32_t{SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI}
                                          : 0u);
  SDL_Window* window = SDL_CreateWindow("", bounds.x, bounds.y, bounds.w, bounds.h, flags);
  if (!window) return;
  SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  record.blanks.push_back(std::make_unique<Blank>(window));
  if (record.mapped) {
    SDL_ShowWindow(window);
    PaintBlack(*record.blanks.back());
  }
}

void SdlWindowSystem::BeginExclusive(Window window, int32_t display) {
  Record* record = Find(window);
  if (!record || !record->sdl) return;
  record->exclusive = true;
  if (options_.presentation != Presentation::FullScreen || (record->style & WS_CHILD) ||
      record->embedded()) {
    return;
  }
  SDL_Rect bounds{};
  if (SDL_GetDisplayBounds(display, &bounds) != 0) return;
  SDL_Window* sdl = record->sdl->get();
  // Position and size do it without a window manager; the full-screen state asks one
  // that is there to keep panels and docks below.
  SDL_SetWindowBordered(sdl, SDL_FALSE);
  SDL_SetWindowPosition(sdl, bounds.x, bounds.y);
  SDL_SetWindowSize(sdl, bounds.w, bounds.h);
  SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
  const bool resized = record->width() != bounds.w || record->height() != bounds.h;
  record->rect = RECT{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
  record->blanks.clear();
  // The extra shows of --monitors each cover the other displays once the show is up.
  if (options_.coverOthers && !shows_) {
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
      if (i != display) AddBlank(*record, i);
    }
  }
  if (record->mapped) SDL_RaiseWindow(sdl);
  if (resized && record->visible && !record->minimized) SendSize(*record, SIZE_RESTORED);
}

void SdlWindowSystem::StartExtraShows(
    Window window, const std::vector<std::pair<int32_t, GlDisplayMode>>& others, bool hardware) {
  Record* record = Find(window);
  if (!shows_ || !record || !record->exclusive ||
      options_.presentation != Presentation::FullScreen) {
    return;
  }
  for (const auto& [display, mode] : others) {
    if (!shows_->Start(display, mode, hardware)) AddBlank(*record, display);
  }
}

void SdlWindowSystem::EndExclusive(Window window) {
  Record* record = Find(window);
  if (!record) return;
  record->exclusive = false;
  record->blanks.clear();
  if (shows_) shows_->Stop();
}

}  // namespace nb
