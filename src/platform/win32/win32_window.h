// The window port over the real user32 window classes, windows and message queue. Each
// class the program declares gets a trampoline that carries the program's procedure, so
// every message of every window of the class reaches that procedure, including those the
// platform sends while CreateWindowExA runs.
// Depends on the window port; the platform headers stay inside the source file.
#pragma once

#include <memory>
#include <vector>

#include "platform/window.h"

namespace nb::win32 {

class Win32Windows final : public WindowSystem {
 public:
  Win32Windows();
  ~Win32Windows();
  Win32Windows(const Win32Windows&) = delete;
  Win32Windows& operator=(const Win32Windows&) = delete;

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
  struct ClassEntry;
  struct LastMessage;
  std::vector<std::unique_ptr<ClassEntry>> classes_;
  std::unique_ptr<LastMessage> last_;
};

}  // namespace nb::win32
