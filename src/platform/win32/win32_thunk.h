// Context-carrying trampolines for the platform's procedures that have no context argument
// of their own: window procedures (all windows of a class share one) and dialog procedures
// (one per running dialog; dialogs nest). A trampoline is a few bytes of machine code that
// turns the platform's call proc(hwnd, message, wParam, lParam) into
// target(context, hwnd, message, wParam, lParam), so that every message reaches the
// program's procedure, including the ones the platform sends during CreateWindowExA before
// any window data could be set.
// Depends on <windows.h>; included only by the Win32 adapter's sources.
#pragma once

#include <windows.h>

namespace nb::win32 {

class ContextThunk {
 public:
  using Target = LRESULT(CALLBACK*)(void* context, HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam);

  // Null when executable memory cannot be had.
  static ContextThunk* Create(void* context, Target target);
  ~ContextThunk();
  ContextThunk(const ContextThunk&) = delete;
  ContextThunk& operator=(const ContextThunk&) = delete;

  ::WNDPROC AsWindowProc() const { return reinterpret_cast<::WNDPROC>(code_); }
  ::DLGPROC AsDialogProc() const { return reinterpret_cast<::DLGPROC>(code_); }

 private:
  explicit ContextThunk(void* code) : code_(code) {}
  void* code_;
};

}  // namespace nb::win32
