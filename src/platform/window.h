// The window port: window classes with the program's window procedures, the saver,
// password and preview windows, and the message pump that hands the platform's messages
// to those procedures as plain WindowEvent records with the platform's WM_* numbers.
// Depends on handles.h; no platform headers.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace nb {

inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_ACTIVATE = 0x0006;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
inline constexpr uint32_t WM_SETCURSOR = 0x0020;
inline constexpr uint32_t WM_GETMINMAXINFO = 0x0024;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_INITDIALOG = 0x0110;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr uint32_t WM_ENTERMENULOOP = 0x0211;
inline constexpr uint32_t WM_EXITMENULOOP = 0x0212;

inline constexpr uintptr_t SIZE_RESTORED = 0;  // wParam of WM_SIZE
inline constexpr uintptr_t SIZE_MINIMIZED = 1;
inline constexpr uintptr_t SIZE_MAXIMIZED = 2;
inline constexpr uintptr_t SIZE_MAXSHOW = 3;
inline constexpr uintptr_t SIZE_MAXHIDE = 4;

inline constexpr int32_t SW_HIDE = 0;
inline constexpr int32_t SW_SHOWNORMAL = 1;
inline constexpr int32_t SW_SHOWMINIMIZED = 2;
inline constexpr int32_t SW_SHOWMAXIMIZED = 3;
inline constexpr int32_t SW_SHOW = 5;
inline constexpr int32_t SW_MINIMIZE = 6;
inline constexpr int32_t SW_RESTORE = 9;

inline constexpr uint32_t WS_POPUP = 0x80000000;
inline constexpr uint32_t WS_CHILD = 0x40000000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_VSCROLL = 0x00200000;
inline constexpr uint32_t WS_SYSMENU = 0x00080000;
inline constexpr uint32_t WS_GROUP = 0x00020000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr uint32_t WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr uint32_t WS_EX_STATICEDGE = 0x00020000;

inline constexpr uint32_t CS_VREDRAW = 0x0001;
inline constexpr uint32_t CS_HREDRAW = 0x0002;
inline constexpr uint32_t CS_DBLCLKS = 0x0008;

inline constexpr uint32_t PM_NOREMOVE = 0x0000;
inline constexpr uint32_t PM_REMOVE = 0x0001;
inline constexpr uint32_t PM_NOYIELD = 0x0002;

inline constexpr uint32_t RDW_INVALIDATE = 0x0001;
inline constexpr uint32_t RDW_ERASE = 0x0004;
inline constexpr uint32_t RDW_FRAME = 0x0400;

constexpr uint16_t LoWord(uintptr_t value) { return static_cast<uint16_t>(value & 0xFFFF); }
constexpr uint16_t HiWord(uintptr_t value) { return static_cast<uint16_t>((value >> 16) & 0xFFFF); }
constexpr uintptr_t MakeWParam(uint16_t low, uint16_t high) {
  return static_cast<uintptr_t>(low) | (static_cast<uintptr_t>(high) << 16);
}
// lParam of mouse messages: client coordinates, signed 16 bits each.
constexpr intptr_t MakeLParam(int16_t low, int16_t high) {
  return static_cast<intptr_t>(static_cast<uint32_t>(static_cast<uint16_t>(low)) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16));
}

// A window procedure of the program: message in, result out (the platform's LRESULT).
using WNDPROC = intptr_t (*)(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// What WM_GETMINMAXINFO's lParam points at.
struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

enum class ClassBackground : int32_t {
  None = 0,   // no brush: the program paints everything
  Black = 1,  // the stock BLACK_BRUSH
};

// A window class; every window of the class runs lpfnWndProc.
struct WNDCLASSA {
  uint32_t style;  // CS_*
  WNDPROC lpfnWndProc;
  Instance hInstance;
  uint32_t iconResource;  // icon resource id of the program, 0 for none
  ClassBackground background;
  const char* lpszClassName;
};

// One message taken from the queue (the platform's MSG without time and point).
struct WindowEvent {
  Window hwnd;  // NoWindow for thread messages such as WM_QUIT
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

class WindowSystem {
 public:
  // Declares a window class. Returns its atom, 0 on failure (for example a class of that
  // name is already declared; the existing one stays in force).
  virtual uint16_t RegisterClassA(const WNDCLASSA& windowClass) = 0;
  // Creates a window of a declared class (WS_POPUP or WS_CHILD | WS_VISIBLE, ...) at
  // x, y with the given size, inside parent for child windows. The class procedure gets
  // WM_CREATE before this returns. NoWindow on failure (unknown class, bad parent).
  virtual Window CreateWindowExA(uint32_t exStyle, const char* className, const char* title,
                                 uint32_t style, int32_t x, int32_t y, int32_t width,
                                 int32_t height, Window parent, Instance instance) = 0;
  // SW_* on a window; the procedure gets WM_SIZE when its state changes. Returns whether
  // the window was visible before.
  virtual bool ShowWindow(Window window, int32_t command) = 0;
  // Sends WM_PAINT at once if part of the window needs painting. False for a bad window.
  virtual bool UpdateWindow(Window window) = 0;
  // Destroys a window and its children; the procedure gets WM_DESTROY before this
  // returns. False for a bad window.
  virtual bool DestroyWindow(Window window) = 0;
  // The window's rectangle in screen coordinates. False for a bad window.
  virtual bool GetWindowRect(Window window, RECT* out) = 0;
  // The client area: left and top 0, right and bottom the width and height.
  virtual bool GetClientRect(Window window, RECT* out) = 0;
  // Whether the handle names an existing window.
  virtual bool IsWindow(Window window) = 0;
  // Takes the next message for filter (NoWindow: any window of the thread) with a number
  // in first..last (0, 0: all) into *out; removes it with PM_REMOVE. Never waits.
  // Returns false when no message is queued.
  virtual bool PeekMessageA(WindowEvent* out, Window filter, uint32_t first, uint32_t last,
                            uint32_t removeFlags) = 0;
  // Runs the procedure of the message's window; returns what it returned (0 for a
  // message without a window or to a destroyed window).
  virtual intptr_t DispatchMessageA(const WindowEvent& event) = 0;
  // Queues WM_QUIT with wParam exitCode for the thread.
  virtual void PostQuitMessage(int32_t exitCode) = 0;
  // The platform's default handling of a message (WM_CLOSE destroys the window,
  // WM_SETCURSOR sets the class cursor, ...); returns its result.
  virtual intptr_t DefWindowProcA(Window window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam) = 0;
  // Redraws the window's menu bar. False for a bad window.
  virtual bool DrawMenuBar(Window window) = 0;
  // Redraws part of a window (rect null: all) with RDW_* flags. False for a bad window.
  virtual bool RedrawWindow(Window window, const RECT* rect, uint32_t flags) = 0;

 protected:
  ~WindowSystem() = default;
};

}  // namespace nb
