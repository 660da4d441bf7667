#include "platform/win32/win32_window.h"

#include <cstring>
#include <string>

#include <windows.h>

#include "platform/win32/win32_thunk.h"

namespace nb::win32 {

namespace {
HWND ToHwnd(Window window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }
Window FromHwnd(HWND window) { return Window{reinterpret_cast<uintptr_t>(window)}; }
}  // namespace

struct Win32Windows::ClassEntry {
  nb::WNDPROC procedure;
  std::unique_ptr<ContextThunk> thunk;
  std::string name;
  HINSTANCE instance;

  static LRESULT CALLBACK Deliver(void* self, HWND window, UINT message, WPARAM wParam,
                                  LPARAM lParam) {
    return static_cast<ClassEntry*>(self)->procedure(FromHwnd(window), message, wParam, lParam);
  }
};

// The full message last taken from the queue, so that dispatching it again hands the
// platform its time and cursor position as well.
struct Win32Windows::LastMessage {
  MSG message{};
};

Win32Windows::Win32Windows() : last_(std::make_unique<LastMessage>()) {}

// A class goes with the adapter that declared it, so that a later declaration of the same
// name gets a procedure again. A class that still has windows cannot go (the shell's early
// exits leave the saver window alive): its entry then stays for good, trampoline and all,
// since every message those windows still get goes through it.
Win32Windows::~Win32Windows() {
  for (auto& entry : classes_) {
    if (!UnregisterClassA(entry->name.c_str(), entry->instance)) (void)entry.release();
  }
}

uint16_t Win32Windows::RegisterClassA(const nb::WNDCLASSA& windowClass) {
  if (!windowClass.lpfnWndProc || !windowClass.lpszClassName) return 0;
  auto entry = std::make_unique<ClassEntry>();
  entry->procedure = windowClass.lpfnWndProc;
  entry->name = windowClass.lpszClassName;
  entry->instance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(windowClass.hInstance));
  entry->thunk.reset(ContextThunk::Create(entry.get(), &ClassEntry::Deliver));
  if (!entry->thunk) return 0;

  const HINSTANCE instance =
      reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(windowClass.hInstance));
  ::WNDCLASSA platform{};
  platform.style = windowClass.style;
  platform.lpfnWndProc = entry->thunk->AsWindowProc();
  platform.cbClsExtra = 0;
  platform.cbWndExtra = 0;
  platform.hInstance = instance;
  platform.hIcon = windowClass.iconResource
                       ? LoadIconA(instance, MAKEINTRESOURCEA(windowClass.iconResource))
                       : nullptr;
  platform.hCursor = nullptr;
  platform.hbrBackground = windowClass.background == ClassBackground::Black
                               ? static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))
                               : nullptr;
  platform.lpszMenuName = nullptr;
  platform.lpszClassName = windowClass.lpszClassName;
  const ATOM atom = ::RegisterClassA(&platform);
  // A refused declaration leaves the class declared earlier, and its trampoline, in force.
  if (atom != 0) classes_.push_back(std::move(entry));
  return atom;
}

Window Win32Windows::CreateWindowExA(uint32_t exStyle, const char* className, const char* title,
                                     uint32_t style, int32_t x, int32_t y, int32_t width,
                                     int32_t height, Window parent, Instance instance) {
  return FromHwnd(::CreateWindowExA(exStyle, className, title, style, x, y, width, height,
                                    ToHwnd(parent), nullptr,
                                    reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(instance)),
                                    nullptr));
}

bool Win32Windows::ShowWindow(Window window, int32_t command) {
  return ::ShowWindow(ToHwnd(window), command) != FALSE;
}

bool Win32Windows::UpdateWindow(Window window) { return ::UpdateWindow(ToHwnd(window)) != FALSE; }

bool Win32Windows::DestroyWindow(Window window) {
  return ::DestroyWindow(ToHwnd(window)) != FALSE;
}

bool Win32Windows::GetWindowRect(Window window, nb::RECT* out) {
  return out && ::GetWindowRect(ToHwnd(window), reinterpret_cast<::RECT*>(out)) != FALSE;
}

bool Win32Windows::GetClientRect(Window window, nb::RECT* out) {
  return out && ::GetClientRect(ToHwnd(window), reinterpret_cast<::RECT*>(out)) != FALSE;
}

bool Win32Windows::IsWindow(Window window) { return ::IsWindow(ToHwnd(window)) != FALSE; }

bool Win32Windows::PeekMessageA(WindowEvent* out, Window filter, uint32_t first, uint32_t last,
                                uint32_t removeFlags) {
  MSG message{};
  if (!::PeekMessageA(&message, ToHwnd(filter), first, last, removeFlags)) return false;
  last_->message = message;
  if (out) *out = WindowEvent{FromHwnd(message.hwnd), message.message, message.wParam, message.lParam};
  return true;
}

intptr_t Win32Windows::DispatchMessageA(const WindowEvent& event) {
  MSG message = last_->message;
  if (message.hwnd != ToHwnd(event.hwnd) || message.message != event.message ||
      message.wParam != event.wParam || message.lParam != event.lParam) {
    std::memset(&message, 0, sizeof message);
    message.hwnd = ToHwnd(event.hwnd);
    message.message = event.message;
    message.wParam = event.wParam;
    message.lParam = event.lParam;
  }
  return ::DispatchMessageA(&message);
}

void Win32Windows::PostQuitMessage(int32_t exitCode) { ::PostQuitMessage(exitCode); }

intptr_t Win32Windows::DefWindowProcA(Window window, uint32_t message, uintptr_t wParam,
                                      intptr_t lParam) {
  return ::DefWindowProcA(ToHwnd(window), message, wParam, lParam);
}

bool Win32Windows::DrawMenuBar(Window window) { return ::DrawMenuBar(ToHwnd(window)) != FALSE; }

bool Win32Windows::RedrawWindow(Window window, const nb::RECT* rect, uint32_t flags) {
  return ::RedrawWindow(ToHwnd(window), reinterpret_cast<const ::RECT*>(rect), nullptr, flags) !=
         FALSE;
}

}  // namespace nb::win32
