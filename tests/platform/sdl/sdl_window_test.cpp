// The SDL window system on SDL's dummy video driver (no display server): the messages the
// platform sends while windows are made, shown, updated and destroyed; SDL's events turned
// into the saver's input messages, filtered by presentation; visibility that the display
// follows; the ending key on a termination request; frames letterboxed into windows.
#include "platform/sdl/sdl_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/gl/gl_present.h"
#include "platform/sdl/termination.h"

namespace nb {
namespace {

struct Seen {
  Window window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};
std::vector<Seen> seen;

intptr_t RecordingProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  seen.push_back({window, message, wParam, lParam});
  if (message == WM_GETMINMAXINFO && lParam) {
    reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{100, 100};
  }
  return 0;
}

std::vector<uint32_t> Messages() {
  std::vector<uint32_t> out;
  for (const Seen& s : seen) out.push_back(s.message);
  return out;
}

class SdlWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  }
  static void TearDownTestSuite() { SDL_Quit(); }
  void SetUp() override {
    seen.clear();
    ClearTerminationRequest();
  }
  void TearDown() override { ClearTerminationRequest(); }

  std::unique_ptr<SdlWindowSystem> Make(Presentation presentation) {
    SdlWindowOptions options;
    options.presentation = presentation;
    auto windows = std::make_unique<SdlWindowSystem>(true, nullptr, pacer_, options);
    WNDCLASSA saver{CS_HREDRAW | CS_VREDRAW, RecordingProc, Instance{1}, 101,
                    ClassBackground::None, "Nightbloom"};
    EXPECT_NE(windows->RegisterClassA(saver), 0);
    EXPECT_EQ(windows->RegisterClassA(saver), 0);  // declared already
    WNDCLASSA black = saver;
    black.lpszClassName = "Black";
    black.background = ClassBackground::Black;
    windows->RegisterClassA(black);
    windows->SetVisibilityListener([this](Window w, bool v) { visibility_.push_back({w, v}); });
    return windows;
  }
  // Takes every queued message, the way the saver loop does.
  std::vector<WindowEvent> Drain(SdlWindowSystem& windows) {
    std::vector<WindowEvent> events;
    WindowEvent event{};
    while (windows.PeekMessageA(&event, NoWindow, 0, 0, PM_REMOVE)) events.push_back(event);
    return events;
  }
  uint32_t SdlId(SdlWindowSystem& windows, Window window) {
    return SDL_GetWindowID(windows.WindowRef(window)->get());
  }
  void PushKey(uint32_t id, SDL_Keycode key, uint16_t mod = 0) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = id;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  }
  void PushWindowEvent(uint32_t id, uint8_t what, int32_t a = 0, int32_t b = 0) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id;
    e.window.event = what;
    e.window.data1 = a;
    e.window.data2 = b;
    SDL_PushEvent(&e);
  }

  uint64_t clock_ = 0;
  int clockReads_ = 0;
  FramePacer pacer_{[this] {
                      ++clockReads_;
                      return clock_;
                    },
                    [this](uint64_t us) { clock_ += us; }};
  std::vector<std::pair<Window, bool>> visibility_;
};

TEST_F(SdlWindowTest, MakingShowingUpdatingAndDestroyingSendTheirMessages) {
  auto windows = Make(Presentation::FullScreen);
  const Window saver = windows->CreateWindowExA(0, "nightbloom", "Nightbloom", WS_POPUP, 0, 0, 0,
                                                0, NoWindow, Instance{1});
  ASSERT_FALSE(IsNone(saver));
  EXPECT_GE(static_cast<uintptr_t>(saver), firstWindowHandle);  // never an X window number
  EXPECT_EQ(Messages(), (std::vector<uint32_t>{WM_GETMINMAXINFO, WM_CREATE}));
  seen.clear();
  EXPECT_FALSE(windows->ShowWindow(saver, SW_SHOWNORMAL));
  ASSERT_EQ(Messages(), (std::vector<uint32_t>{WM_SIZE}));
  EXPECT_EQ(seen[0].wParam, SIZE_RESTORED);
  seen.clear();
  EXPECT_TRUE(windows->UpdateWindow(saver));
  EXPECT_EQ(Messages(), (std::vector<uint32_t>{WM_PAINT}));
  seen.clear();
  EXPECT_TRUE(windows->UpdateWindow(saver));  // painted already
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(windows->ShowWindow(saver, SW_SHOW));
  EXPECT_TRUE(windows->IsWindow(saver));
  seen.clear();
  EXPECT_TRUE(windows->DestroyWindow(saver));
  EXPECT_EQ(Messages(), (std::vector<uint32_t>{WM_DESTROY}));
  EXPECT_FALSE(windows->IsWindow(saver));
  EXPECT_FALSE(windows->DestroyWindow(saver));
  EXPECT_FALSE(windows->ShowWindow(saver, SW_SHOW));
  // Unknown classes, and children of windows without an X connection, are refused.
  EXPECT_TRUE(IsNone(windows->CreateWindowExA(0, "Class1", "", WS_POPUP, 0, 0, 1, 1, NoWindow,
                                              Instance{1})));
  EXPECT_TRUE(IsNone(windows->CreateWindowExA(0, "Nightbloom", "", WS_CHILD | WS_VISIBLE, 0, 0,
                                              10, 10, Window{0x200001}, Instance{1})));
  EXPECT_FALSE(windows->IsWindow(Window{0x200001}));
}

TEST_F(SdlWindowTest, FullScreenInputBecomesTheSaversMessages) {
  auto windows = Make(Presentation::FullScreen);
  const Window saver = windows->CreateWindowExA(0, "Nightbloom", "Nightbloom", WS_POPUP, 0, 0, 0,
                                                0, NoWindow, Instance{1});
  windows->ShowWindow(saver, SW_SHOWNORMAL);
  windows->BeginExclusive(saver, 0);
  Drain(*windows);
  const uint32_t id = SdlId(*windows, saver);
  seen.clear();

  PushKey(id, SDLK_ESCAPE);
  PushKey(id, SDLK_a, KMOD_LALT);
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = id;
  motion.motion.x = 30;
  motion.motion.y = 40;
  SDL_PushEvent(&motion);
  for (uint8_t button : {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1}) {
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.windowID = id;
    press.button.button = button;
    press.button.x = 5;
    press.button.y = 6;
    SDL_PushEvent(&press);
  }
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.windowID = id;
  wheel.wheel.y = -1;
  SDL_PushEvent(&wheel);

  const std::vector<WindowEvent> events = Drain(*windows);
  std::vector<uint32_t> messages;
  for (const WindowEvent& e : events) {
    if (e.message != WM_PAINT) messages.push_back(e.message);
  }
  EXPECT_EQ(messages, (std::vector<uint32_t>{WM_KEYDOWN, WM_SYSKEYDOWN, WM_MOUSEMOVE,
                                             WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN,
                                             WM_XBUTTONDOWN, WM_MOUSEWHEEL}));
  EXPECT_EQ(events[0].wParam, VK_ESCAPE);
  EXPECT_EQ(events[0].hwnd, saver);
  EXPECT_EQ(events[1].wParam, static_cast<uintptr_t>('A'));
  EXPECT_EQ(events[2].lParam, MakeLParam(30, 40));
  // The cursor is asked for before the move is reported.
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].message, WM_SETCURSOR);
  EXPECT_EQ(LoWord(static_cast<uintptr_t>(seen[0].lParam)), HTCLIENT);
  EXPECT_EQ(HiWord(static_cast<uintptr_t>(seen[0].lParam)), WM_MOUSEMOVE);
}

TEST_F(SdlWindowTest, AWindowOnTheDesktopOnlyHearsItsWaysOut) {
  auto windows = Make(Presentation::Window);
  const Window saver = windows->CreateWindowExA(0, "Nightbloom", "Nightbloom", WS_POPUP, 0, 0, 0,
                                                0, NoWindow, Instance{1});
  windows->ShowWindow(saver, SW_SHOWNORMAL);
  // An ordinary window of a size to see, not the zero size asked for.
  RECT client{};
  ASSERT_TRUE(windows->GetClientRect(saver, &client));
  EXPECT_EQ(client.right, 800);
  EXPECT_EQ(client.bottom, 600);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().lParam, MakeLParam(800, 600));
  int minWidth = 0;
  int minHeight = 0;
  SDL_GetWindowMinimumSize(windows->WindowRef(saver)->get(), &minWidth, &minHeight);
  EXPECT_EQ(minWidth, 100);
  Drain(*windows);
  const uint32_t id = SdlId(*windows, saver);

  PushKey(id, SDLK_SPACE);
  PushKey(id, SDLK_q);
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = id;
  SDL_PushEvent(&motion);
  SDL_Event press{};
  press.type = SDL_MOUSEBUTTONDOWN;
  press.button.windowID = id;
  press.button.button = SDL_BUTTON_LEFT;
  SDL_PushEvent(&press);
  PushWindowEvent(id, SDL_WINDOWEVENT_CLOSE);
  PushKey(id, SDLK_ESCAPE);
  seen.clear();
  std::vector<uintptr_t> keys;
  for (const WindowEvent& e : Drain(*windows)) {
    if (e.message == WM_PAINT) continue;
    EXPECT_EQ(e.message, WM_KEYDOWN);
    keys.push_back(e.wParam);
  }
  // q, the close box, Esc: all three end the show; nothing else got through.
  EXPECT_EQ(keys, (std::vector<uintptr_t>{'Q', VK_ESCAPE, VK_ESCAPE}));
  for (const Seen& s : seen) EXPECT_NE(s.message, WM_SETCURSOR);
}

TEST_F(SdlWindowTest, AnotherWindowsCloseBoxClosesIt) {
  auto windows = Make(Presentation::Window);
  const Window saver = windows->CreateWindowExA(0, "Nightbloom", "", WS_POPUP, 0, 0, 0, 0,
                                                NoWindow, Instance{1});
  const Window other = windows->CreateWindowExA(0, "Black", "", WS_POPUP, 0, 0, 50, 50,
                                                NoWindow, Instance{1});
  windows->ShowWindow(saver, SW_SHOWNORMAL);
  windows->ShowWindow(other, SW_SHOWNORMAL);
  Drain(*windows);
  PushWindowEvent(SdlId(*windows, other), SDL_WINDOWEVENT_CLOSE);
  bool closed = false;
  for (const WindowEvent& e : Drain(*windows)) {
    if (e.hwnd == other && e.message == WM_CLOSE) {
      closed = true;
      windows->DefWindowProcA(e.hwnd, e.message, e.wParam, e.lParam);
    }
  }
  EXPECT_TRUE(closed);
  EXPECT_FALSE(windows->IsWindow(other));
}

TEST_F(SdlWindowTest, HiddenAndMinimizedWindowsCannotShowFrames) {
  auto windows = Make(Presentation::FullScreen);
  const Window saver = windows->CreateWindowExA(0, "Nightbloom", "", WS_POPUP, 0, 0, 0, 0,
                                                NoWindow, Instance{1});
  windows->ShowWindow(saver, SW_SHOWNORMAL);
  EXPECT_FALSE(windows->CanShow(saver)) << "zero-sized and not on the screen yet";
  windows->BeginExclusive(saver, 0);
  Drain(*windows);  // appears at the pump
  EXPECT_TRUE(windows->CanShow(saver));
  const uint32_t id = SdlId(*windows, saver);
  visibility_.clear();
  seen.clear();

  PushWindowEvent(id, SDL_WINDOWEVENT_MINIMIZED);
  Drain(*windows);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().message, WM_SIZE);
  EXPECT_EQ(seen.back().wParam, SIZE_MINIMIZED);
  EXPECT_FALSE(windows->CanShow(saver));
  PushWindowEvent(id, SDL_WINDOWEVENT_RESTORED);
  Drain(*windows);
  EXPECT_EQ(seen.back().wParam, SIZE_RESTORED);
  EXPECT_TRUE(windows->CanShow(saver));
  windows->ShowWindow(saver, SW_HIDE);
  EXPECT_FALSE(windows->CanShow(saver));
  windows->ShowWindow(saver, SW_SHOW);
  Drain(*windows);
  EXPECT_TRUE(windows->CanShow(saver));
  EXPECT_EQ(visibility_, (std::vector<std::pair<Window, bool>>{
                             {saver, false}, {saver, true}, {saver, false}, {saver, true}}));
}

// A procedure that destroys its own window on the message it was asked to: the window
// system must not touch the window's record after such a message (the sanitizer build
// reports it if it does).
SdlWindowSystem* destroyIn = nullptr;
uint32_t destroyOn = 0;
uintptr_t destroyOnSize = 0;
intptr_t DestroyingProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (destroyIn && message == destroyOn && (message != WM_SIZE || wParam == destroyOnSize)) {
    destroyIn->DestroyWindow(window);
    return 0;
  }
  return RecordingProc(window, message, wParam, lParam);
}

TEST_F(SdlWindowTest, AProcedureMayDestroyItsWindowOnAnyEvent) {
  auto windows = Make(Presentation::FullScreen);
  WNDCLASSA fragile{CS_HREDRAW | CS_VREDRAW, DestroyingProc, Instance{1}, 0,
                    ClassBackground::None, "Fragile"};
  ASSERT_NE(windows->RegisterClassA(fragile), 0);
  destroyIn = windows.get();
  struct Case {
    uint32_t message;
    uintptr_t size;
  };
  for (const Case& c : {Case{WM_SIZE, SIZE_MINIMIZED}, Case{WM_SIZE, SIZE_RESTORED},
                        Case{WM_SETCURSOR, 0}}) {
    SCOPED_TRACE(c.message);
    destroyOn = 0;
    const Window window = windows->CreateWindowExA(0, "Fragile", "", WS_POPUP, 0, 0, 0, 0,
                                                   NoWindow, Instance{1});
    windows->ShowWindow(window, SW_SHOWNORMAL);
    windows->BeginExclusive(window, 0);
    Drain(*windows);
    const uint32_t id = SdlId(*windows, window);
    if (c.size == SIZE_RESTORED) {
      PushWindowEvent(id, SDL_WINDOWEVENT_MINIMIZED);
      Drain(*windows);
    }
    destroyOn = c.message;
    destroyOnSize = c.size;
    if (c.message == WM_SETCURSOR) {
      SDL_Event motion{};
      motion.type = SDL_MOUSEMOTION;
      motion.motion.windowID = id;
      SDL_PushEvent(&motion);
    } else {
      PushWindowEvent(id, c.size == SIZE_MINIMIZED ? SDL_WINDOWEVENT_MINIMIZED
                                                   : SDL_WINDOWEVENT_RESTORED);
    }
    for (const WindowEvent& e : Drain(*windows)) EXPECT_NE(e.hwnd, window);
    EXPECT_FALSE(windows->IsWindow(window));
  }
  destroyIn = nullptr;
}

TEST_F(SdlWindowTest, TerminationArrivesAsTheEndingKey) {
  auto windows = Make(Presentation::Window);
  const Window saver = windows->CreateWindowExA(0, "Nightbloom", "", WS_POPUP, 0, 0, 0, 0,
                                                NoWindow, Instance{1});
  windows->ShowWindow(saver, SW_SHOWNORMAL);
  Drain(*windows);
  RequestTermination();
  std::vector<WindowEvent> events = Drain(*windows);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].hwnd, saver);
  EXPECT_EQ(events[0].message, WM_KEYDOWN);
  EXPECT_EQ(events[0].wParam, VK_ESCAPE);
  // Once: a saver that asks for a password keeps running until it is answered.
  for (const WindowEvent& e : Drain(*windows)) EXPECT_NE(e.message, WM_KEYDOWN);
}

TEST_F(SdlWindowTest, PaintComesLastAndTheDefaultPaintsTheClassBackground) {
  auto windows = Make(Presentation::FullScreen);
  const Window black = windows->CreateWindowExA(0, "Black", "", WS_POPUP | WS_VISIBLE, 0, 0, 40,
                                                30, NoWindow, Instance{1});
  SDL_Surface* surface = windows->Framebuffer(black);
  ASSERT_NE(surface, nullptr);
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 255, 255, 255));
  windows->PostQuitMessage(3);
  WindowEvent event{};
  ASSERT_TRUE(windows->PeekMessageA(&event, NoWindow, 0, 0, PM_REMOVE));
  EXPECT_EQ(event.message, WM_QUIT);  // queued messages first
  EXPECT_EQ(event.wParam, 3u);
  EXPECT_TRUE(IsNone(event.hwnd));
  ASSERT_TRUE(windows->PeekMessageA(&event, NoWindow, 0, 0, PM_REMOVE));
  EXPECT_EQ(event.message, WM_PAINT);
  EXPECT_EQ(event.hwnd, black);
  windows->DefWindowProcA(event.hwnd, event.message, event.wParam, event.lParam);
  Uint8 r = 0, g = 0, b = 0;
  SDL_GetRGB(static_cast<Uint32*>(surface->pixels)[0], surface->format, &r, &g, &b);
  EXPECT_EQ(r + g + b, 0);
  EXPECT_EQ(windows->DispatchMessageA(WindowEvent{NoWindow, WM_QUIT, 0, 0}), 0);
}

TEST_F(SdlWindowTest, AnEmptyPumpWaitsOnlyWhenNoFrameWentOut) {
  auto windows = Make(Presentation::FullScreen);
  pacer_.SetRefreshRate(1000.0);  // a short period: the real wait is a millisecond
  WindowEvent event{};
  clockReads_ = 0;
  EXPECT_FALSE(windows->PeekMessageA(&event, NoWindow, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(clockReads_, 0) << "a look without taking never waits";
  EXPECT_FALSE(windows->PeekMessageA(&event, NoWindow, 0, 0, PM_REMOVE));
  EXPECT_GT(clockReads_, 0) << "nothing shown, nothing queued: the pacer's idle wait";
  pacer_.FrameShown();
  const int reads = clockReads_;
  EXPECT_FALSE(windows->PeekMessageA(&event, NoWindow, 0, 0, PM_REMOVE));
  EXPECT_EQ(clockReads_, reads) << "a frame went out: the loop is paced by its flips";
}

TEST_F(SdlWindowTest, FramesAreLetterboxedNearestNeighbour) {
  auto windows = Make(Presentation::FullScreen);
  const Window saver = windows->CreateWindowExA(0, "Nightbloom", "", WS_POPUP, 0, 0, 0, 0,
                                                NoWindow, Instance{1});
  windows->ShowWindow(saver, SW_SHOWNORMAL);
  const uint32_t frame[2][8] = {{0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112,
                                 0x131415, 0x161718},
                                {0xF80000, 0x00FC00, 0x0000F8, 0xFFFFFF, 0x808080, 0x202020,
                                 0x123456, 0x654321}};
  EXPECT_FALSE(windows->ShowPixels(saver, &frame[0][0], 8, 2)) << "not on the screen yet";
  windows->BeginExclusive(saver, 0);
  Drain(*windows);
  SDL_Rect bounds{};
  SDL_GetDisplayBounds(0, &bounds);
  RECT client{};
  windows->GetClientRect(saver, &client);
  EXPECT_EQ(client.right, bounds.w) << "the exclusive display covers the screen";
  EXPECT_EQ(client.bottom, bounds.h);
  ASSERT_TRUE(windows->ShowPixels(saver, &frame[0][0], 8, 2));

  SDL_Surface* surface = windows->Framebuffer(saver);
  ASSERT_NE(surface, nullptr);
  auto at = [&](int x, int y) {
    Uint8 r = 0, g = 0, b = 0;
    const auto* row = reinterpret_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
    SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], surface->format, &r, &g, &b);
    return uint32_t{r} << 16 | uint32_t{g} << 8 | b;
  };
  const LetterboxRect box = Letterbox(8, 2, static_cast<uint32_t>(surface->w),
                                      static_cast<uint32_t>(surface->h));
  ASSERT_GT(box.y, 0);
  EXPECT_EQ(at(0, 0), 0u);
  EXPECT_EQ(at(surface->w - 1, box.y - 1), 0u);
  EXPECT_EQ(at(0, box.y), frame[0][0]);
  EXPECT_EQ(at(surface->w - 1, box.y + box.height - 1), frame[1][7]);
  EXPECT_EQ(at(surface->w / 2, box.y + box.height / 2), frame[1][4]);
  EXPECT_EQ(at(surface->w / 2, box.y + box.height), 0u);
}

TEST(VirtualKeys, TheSaversKeysHaveThePlatformsCodes) {
  EXPECT_EQ(VirtualKeyFor(SDLK_a), static_cast<uint32_t>('A'));
  EXPECT_EQ(VirtualKeyFor(SDLK_z), static_cast<uint32_t>('Z'));
  EXPECT_EQ(VirtualKeyFor(SDLK_7), static_cast<uint32_t>('7'));
  EXPECT_EQ(VirtualKeyFor(SDLK_ESCAPE), VK_ESCAPE);
  EXPECT_EQ(VirtualKeyFor(SDLK_RETURN), VK_RETURN);
  EXPECT_EQ(VirtualKeyFor(SDLK_F1), 0x70u);
  EXPECT_EQ(VirtualKeyFor(SDLK_F12), 0x7Bu);
  EXPECT_EQ(VirtualKeyFor(SDLK_LEFT), 0x25u);
  EXPECT_EQ(VirtualKeyFor(SDLK_RALT), VK_MENU);
  EXPECT_EQ(VirtualKeyFor(SDLK_CAPSLOCK), 0xFFu);
}

}  // namespace
}  // namespace nb
