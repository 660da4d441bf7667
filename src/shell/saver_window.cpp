// The saver window procedure, the exit request and the password providers.
#include "shell/saver_window.h"

#include "display/display_framework.h"
#include "shell/shell.h"

namespace nb {

namespace {

Platform& Ports() { return *shell.platform; }

void RefreshCursor() { Ports().system.GetCursorPos(&shell.lastCursor); }

int32_t Distance(int32_t a, int32_t b) {
  const int64_t d = int64_t{a} - int64_t{b};
  return d < 0 ? static_cast<int32_t>(-d > INT32_MAX ? INT32_MAX : -d)
               : static_cast<int32_t>(d > INT32_MAX ? INT32_MAX : d);
}

}  // namespace

intptr_t PlainWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  WindowSystem& windows = Ports().windows;
  switch (message) {
    case WM_DESTROY:
      windows.PostQuitMessage(0);
      return 0;
    case WM_CLOSE:
      windows.DestroyWindow(window);
      return 0;
    default:
      return windows.DefWindowProcA(window, message, wParam, lParam);
  }
}

intptr_t SaverWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Platform& ports = Ports();
  switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:  // the saver ends only through its input rules
    case WM_QUIT:
      return 0;
    case WM_SIZE:
      shell.active = !(wParam == SIZE_MINIMIZED || wParam == SIZE_MAXHIDE);
      break;
    case WM_PAINT:
      if (shell.framework) {
        if (shell.ready) {
          shell.framework->PresentFrame();
        } else {
          shell.framework->ShowGdiSurface(true);
        }
      }
      break;
    case WM_SETCURSOR:
      if (shell.active && shell.ready) {
        ports.system.SetCursor(NoCursor);
        return 1;
      }
      break;
    case WM_GETMINMAXINFO:
      if (lParam != 0) {
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{MinTrackSize, MinTrackSize};
      }
      break;
    case WM_MOUSEMOVE:
      MovementTest();
      break;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      ExitRequest();
      break;
    case WM_ENTERMENULOOP:
      PauseApp(true);
      break;
    case WM_EXITMENULOOP:
      PauseApp(false);
      break;
    default:
      break;
  }
  return ports.windows.DefWindowProcA(window, message, wParam, lParam);
}

void MovementTest() {
  if (shell.passwordUp) {
    RefreshCursor();
    return;
  }
  // The message's own coordinates are client-relative and 16-bit; the cursor is not.
  POINT position = shell.lastCursor;
  Ports().system.GetCursorPos(&position);
  const int32_t dx = Distance(position.x, shell.lastCursor.x);
  const int32_t dy = Distance(position.y, shell.lastCursor.y);
  shell.lastCursor = position;
  if ((dx > MovementThreshold || dy > MovementThreshold) &&
      Ports().system.timeGetTime() - shell.graceStart >= GracePeriodMs) {
    ExitRequest();
  }
}

void ExitRequest() {
  if (shell.passwordUp) {
    RefreshCursor();
    return;
  }
  Platform& ports = Ports();
  WindowSystem& windows = ports.windows;
  System& system = ports.system;
  shell.passwordUp = true;

  // A second request finds the class declared already; that refusal is harmless.
  WNDCLASSA passwordClass{};
  passwordClass.style = CS_HREDRAW | CS_VREDRAW;
  passwordClass.lpfnWndProc = PlainWindowProc;
  passwordClass.hInstance = shell.instance;
  passwordClass.iconResource = 0;
  passwordClass.background = ClassBackground::Black;
  passwordClass.lpszClassName = passwordClassName;
  windows.RegisterClassA(passwordClass);

  const Window saver = shell.window;
  windows.ShowWindow(saver, SW_HIDE);
  system.ShowCursor(true);

  const Window password = windows.CreateWindowExA(
      0, passwordClassName, "", WS_POPUP, 0, 0, system.GetSystemMetrics(SM_CXSCREEN),
      system.GetSystemMetrics(SM_CYSCREEN), NoWindow, shell.instance);
  windows.ShowWindow(password, SW_SHOWNORMAL);
  windows.UpdateWindow(password);

  if (CheckPassword(system, password)) {
    windows.DestroyWindow(password);
    windows.DestroyWindow(saver);
    AppCleanup();
    shell.running = false;
    return;
  }

  system.ShowCursor(false);
  windows.DestroyWindow(password);
  windows.ShowWindow(saver, SW_SHOW);
  windows.ShowWindow(saver, SW_SHOWMAXIMIZED);
  windows.UpdateWindow(saver);
  RefreshCursor();
  shell.passwordUp = false;
  shell.graceStart = system.timeGetTime();
}

bool CheckPassword(System& system, Window owner) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  if (system.GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    return true;
  }
  int32_t accepted = 0;
  switch (system.VerifyScreenSavePwd(owner, &accepted)) {
    case ProviderCall::Called:
      return accepted != 0;
    case ProviderCall::NoLibrary:
    case ProviderCall::NoExport:
    default:
      return true;
  }
}

void ChangePassword(System& system, Window owner) {
  system.PwdChangePasswordA("SCRSAVE", owner);
}

}  // namespace nb
