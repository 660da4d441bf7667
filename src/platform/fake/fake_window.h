// Fake window system: window classes with the program's procedures, windows with a pixel
// canvas for their client area, and a scripted message queue. Creating, showing and
// destroying windows sends the messages the platform sends (WM_GETMINMAXINFO and
// WM_CREATE, WM_SIZE, WM_PAINT, WM_DESTROY) to the class procedure synchronously.
// Depends on fake_world.h, fake_pixels.h. Test support only.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fake_pixels.h"
#include "platform/fake/fake_world.h"
#include "platform/window.h"

namespace nb::fake {

struct FakeWindow {
  Window handle{};
  std::string className;  // empty for a foreign window
  std::string title;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  RECT rect{};  // screen coordinates
  Window parent{};
  Instance instance{};
  bool visible = false;
  int32_t lastShow = -1;  // last SW_* command
  bool needsPaint = false;
  PixelStore canvas;  // client area, 32-bit
};

class FakeWindowSystem final : public WindowSystem {
 public:
  explicit FakeWindowSystem(FakeWorld& world) : world_(world) {}

  // ---- Test helpers
  // A window of another program (the display panel's preview area): no procedure, visible.
  Window AddForeignWindow(const RECT& screenRect);
  const FakeWindow* Find(Window window) const;
  // The most recently created window of a class that still exists.
  Window FindByClass(const std::string& className) const;
  size_t WindowCount() const { return windows_.size(); }
  bool ClassRegistered(const std::string& className) const;
  const WNDCLASSA* FindClass(const std::string& className) const;
  // Queues an event as the platform would post it.
  void Post(const WindowEvent& event) { queue_.push_back(event); }
  size_t QueuedCount() const { return queue_.size(); }
  // Called by PeekMessageA when the queue is empty, with the number of empty polls so
  // far; it may post events (they are then returned by that same call) or change the
  // world (advance the clock, destroy a window).
  std::function<void(uint32_t emptyPolls)> onQueueEmpty;
  // Runs the procedure of a window at once (as SendMessage does); 0 for no procedure.
  intptr_t Send(Window window, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
  // The last exit code given to PostQuitMessage.
  std::optional<int32_t> quitCode;
  // Whether ShowWindow sends WM_SIZE (SIZE_RESTORED / SIZE_MAXIMIZED / SIZE_MINIMIZED).
  bool sendSizeOnShow = true;
  // The client canvas of a window (null for no such window).
  PixelStore* Canvas(Window window);

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
  struct ClassEntry {
    WNDCLASSA description;
    std::string name;
  };
  FakeWindow* FindMutable(Window window);
  WNDPROC ProcOf(Window window) const;
  void ResizeCanvas(FakeWindow& window);

  FakeWorld& world_;
  std::map<std::string, ClassEntry> classes_;
  std::map<uintptr_t, FakeWindow> windows_;
  std::vector<uintptr_t> creationOrder_;
  std::vector<uintptr_t> destroying_;
  std::deque<WindowEvent> queue_;
  uint16_t nextAtom_ = 0xC000;
  uint32_t emptyPolls_ = 0;
};

}  // namespace nb::fake
