// A test-only Windows program for the end-to-end tests of nightbloom.scr under Wine:
//   e2e_helper host X Y WIDTH HEIGHT MILLISECONDS SAVER
//       makes a popup window at (X, Y) of the given size, as the display settings panel
//       makes its preview area, starts "SAVER /p HWND" with its handle, keeps the window
//       for MILLISECONDS, then destroys it and waits (at most 5 s) for the saver to end.
//       Prints the window's children as "child CLASS WxH visible" before it goes, then
//       "saver exit N" (or "saver still running"); exits 0 only when the saver ended
//       with 0.
//   e2e_helper mode
//       prints the current display mode as WIDTHxHEIGHTxBITS.
//   e2e_helper values NAME...
//       prints "NAME TYPE SIZE" for each value of the saver's registry key ("missing" when
//       there is none).
//   e2e_helper controls TITLE SECONDS
//       waits (at most SECONDS) for a visible dialog (a message box is one) titled TITLE
//       and prints "window X Y W H" (its client area on the screen), then for each control
//       "control ID CLASS KIND X Y W H TEXT" (KIND: bitmap, icon or text; TEXT, of a text
//       control, as it gives it, line feeds written as \n); exits 1 when there is no such
//       window.
//   e2e_helper foreground TITLE WIDTH HEIGHT SECONDS
//       waits (at most SECONDS) until the active window is a visible, not minimized
//       window titled TITLE of WIDTH x HEIGHT pixels, the state in which it takes input;
//       prints what was active at the end as "TITLE WxH shown|minimized|hidden" and exits
//       0 when it was that window, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  char name[64] = {};
  GetClassNameA(child, name, sizeof name);
  RECT client{};
  GetClientRect(child, &client);
  std::printf("child %s %ldx%ld %s\n", name, client.right, client.bottom,
              IsWindowVisible(child) ? "visible" : "hidden");
  return TRUE;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    EnumChildWindows(window, PrintChild, 0);
    std::fflush(stdout);
    KillTimer(window, 1);
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int Host(int argc, char** argv) {
  if (argc < 8) return 2;
  const int x = std::atoi(argv[2]);
  const int y = std::atoi(argv[3]);
  const int width = std::atoi(argv[4]);
  const int height = std::atoi(argv[5]);
  const UINT keep = static_cast<UINT>(std::atoi(argv[6]));
  const char* saver = argv[7];

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = HostProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = "Nightbloom preview host";
  RegisterClassA(&windowClass);
  HWND host = CreateWindowExA(WS_EX_TOPMOST, "Nightbloom preview host", "preview host",
                              WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width, height, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  if (!host) return 3;
  UpdateWindow(host);

  std::string command = std::string("\"") + saver + "\" /p " +
                        std::to_string(reinterpret_cast<uintptr_t>(host));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::printf("could not start %s\n", command.c_str());
    return 4;
  }
  std::printf("host %lu saver started\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(host)));
  std::fflush(stdout);

  SetTimer(host, 1, keep, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);

  const DWORD waited = WaitForSingleObject(process.hProcess, 5000);
  int result = 5;
  if (waited == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("saver exit %lu\n", static_cast<unsigned long>(code));
    result = code == 0 ? 0 : 6;
  } else {
    std::printf("saver still running\n");
    TerminateProcess(process.hProcess, 99);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

int Mode() {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 1;
  std::printf("%lux%lux%lu\n", mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel);
  return 0;
}

int Values(int argc, char** argv) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Lumenfold Software\\Nightbloom", 0, KEY_READ,
                    &key) != ERROR_SUCCESS) {
    std::printf("no key\n");
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, argv[i], nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      std::printf("%s %lu %lu\n", argv[i], type, size);
    } else {
      std::printf("%s missing\n", argv[i]);
    }
  }
  RegCloseKey(key);
  return 0;
}

}  // namespace

// The text a control shows, asked as its own process would ask (for a drop-down list,
// the chosen item).
std::string ControlText(HWND control) {
  char text[512] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, &copied);
  std::string escaped;
  for (const char* c = text; *c; ++c) {
    if (*c == '\n') {
      escaped += "\\n";
    } else if (*c != '\r') {
      escaped += *c;
    }
  }
  return escaped;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  char name[64] = {};
  GetClassNameA(control, name, sizeof name);
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  const char* kind = "text";
  if (lstrcmpiA(name, "Static") == 0 && (style & SS_TYPEMASK) == SS_BITMAP) kind = "bitmap";
  if (lstrcmpiA(name, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) kind = "icon";
  RECT rect{};
  GetWindowRect(control, &rect);
  // A picture's "text" is the resource it was made from.
  const std::string text = std::string(kind) == "text" ? ControlText(control) : "";
  std::printf("control %d %s %s %ld %ld %ld %ld %s\n", GetDlgCtrlID(control), name, kind, rect.left,
              rect.top, rect.right - rect.left, rect.bottom - rect.top, text.c_str());
  return TRUE;
}

int Controls(int argc, char** argv) {
  if (argc < 4) return 2;
  const DWORD limit = static_cast<DWORD>(std::atof(argv[3]) * 1000);
  const DWORD start = GetTickCount();
  HWND window = FindWindowA("#32770", argv[2]);
  while (!(window && IsWindowVisible(window)) && GetTickCount() - start < limit) {
    Sleep(50);
    window = FindWindowA("#32770", argv[2]);
  }
  if (!window || !IsWindowVisible(window)) return 1;
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  std::printf("window %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
  EnumChildWindows(window, PrintControl, 0);
  return 0;
}

std::string ActiveWindow(bool* ready, const char* title, long width, long height) {
  HWND active = GetForegroundWindow();
  if (!active) {
    *ready = false;
    return "none";
  }
  char text[128] = {};
  GetWindowTextA(active, text, sizeof text);
  RECT rect{};
  GetWindowRect(active, &rect);
  const bool shown = IsWindowVisible(active) && !IsIconic(active);
  *ready = shown && std::string(text) == title && rect.right - rect.left == width &&
           rect.bottom - rect.top == height;
  return std::string(text) + " " + std::to_string(rect.right - rect.left) + "x" +
         std::to_string(rect.bottom - rect.top) + " " +
         (IsIconic(active) ? "minimized" : IsWindowVisible(active) ? "shown" : "hidden");
}

int Foreground(int argc, char** argv) {
  if (argc < 6) return 2;
  const long width = std::atol(argv[3]);
  const long height = std::atol(argv[4]);
  const DWORD limit = static_cast<DWORD>(std::atof(argv[5]) * 1000);
  const DWORD start = GetTickCount();
  bool ready = false;
  std::string state = ActiveWindow(&ready, argv[2], width, height);
  while (!ready && GetTickCount() - start < limit) {
    Sleep(50);
    state = ActiveWindow(&ready, argv[2], width, height);
  }
  std::printf("%s\n", state.c_str());
  return ready ? 0 : 1;
}

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "host") return Host(argc, argv);
  if (command == "mode") return Mode();
  if (command == "values") return Values(argc, argv);
  if (command == "foreground") return Foreground(argc, argv);
  if (command == "controls") return Controls(argc, argv);
  std::fprintf(stderr,
               "usage: e2e_helper host X Y W H MS SAVER | mode | values NAME... |"
               " controls TITLE SECONDS | foreground TITLE W H SECONDS\n");
  return 2;
}
