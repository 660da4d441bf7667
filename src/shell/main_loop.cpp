// The process entry, its start-up order with every early exit, and the saver loop.
#include <string>

#include "display/device_catalog.h"
#include "display/display_framework.h"
#include "display/result_codes.h"
#include "scene/textures.h"
#include "shell/config_dialog.h"
#include "shell/preview.h"
#include "shell/saver_window.h"
#include "shell/settings_store.h"
#include "shell/shell.h"

namespace nb {

ShellState shell;

ShellState::ShellState() = default;
ShellState::~ShellState() = default;

void ResetShellState() {
  shell.active = false;
  shell.ready = false;
  shell.running = false;
  shell.passwordUp = false;
  shell.lastCursor = POINT{};
  shell.graceStart = 0;
  shell.baseTime = 0;
  shell.elapsed = 0;
  shell.accumulated = 0;
  shell.ticksThisPass = 0;
  shell.pauseDepth = 0;
  shell.framework.reset();
  shell.displayFallbackUsed = false;
  shell.platform = nullptr;
  shell.instance = Instance{};
  shell.window = NoWindow;
  shell.lastMessageParam = 0;
  shell.startFailure = 0;
  shell.ticksRun = 0;
  shell.framesRun = 0;
  shell.trace.reset();
  shell.switches = RunSwitches{};
}

namespace {

constexpr const char* timerErrorText = "Timer error - need 1ms resolution.";
constexpr const char* timerErrorCaption = "Init";
constexpr uint32_t iconResourceId = 101;

Window CreateSaverWindow(WindowSystem& windows, Instance instance) {
  WNDCLASSA saverClass{};
  saverClass.style = CS_HREDRAW | CS_VREDRAW;
  saverClass.lpfnWndProc = SaverWindowProc;
  saverClass.hInstance = instance;
  saverClass.iconResource = iconResourceId;
  saverClass.background = ClassBackground::None;
  saverClass.lpszClassName = saverClassName;
  windows.RegisterClassA(saverClass);
  // Zero-sized: the display framework makes it the focus window of the full screen.
  const Window window = windows.CreateWindowExA(0, saverClassName, "Nightbloom", WS_POPUP, 0, 0,
                                                0, 0, NoWindow, instance);
  // Set before showing: showing sends WM_SIZE and WM_PAINT to the procedure.
  shell.window = window;
  windows.ShowWindow(window, SW_SHOWNORMAL);
  windows.UpdateWindow(window);
  return window;
}

}  // namespace

void SaverLoopPass() {
  Platform& ports = *shell.platform;
  WindowEvent event{};
  while (ports.windows.PeekMessageA(&event, NoWindow, 0, 0, PM_REMOVE | PM_NOYIELD)) {
    shell.lastMessageParam = event.wParam;
    ports.windows.DispatchMessageA(event);
  }
  if (!(shell.active && shell.ready)) return;

  System& system = ports.system;
  RunPassTicks(shell, [&system] { return system.timeGetTime(); }, [] {
    TickOnce();
    ++shell.ticksRun;
  });
  RenderOnce();
  ++shell.framesRun;
}

int ShellMain(Platform& platform, Instance instance, const char* commandLine,
              const RunSwitches& switches) {
  shell.platform = &platform;
  shell.instance = instance;
  shell.switches = switches;
  const CommandLine line = ParseCommandLine(commandLine);

  if (line.mode == RunMode::Preview) {
    Preview(platform, line.parent, instance);
    return 0;
  }

  System& system = platform.system;
  WindowSystem& windows = platform.windows;
  if (system.timeBeginPeriod(1) != TIMERR_NOERROR) {
    system.MessageBoxA(NoWindow, timerErrorText, timerErrorCaption, MB_OK | MB_ICONERROR);
    return 0;
  }

  const Window window = CreateSaverWindow(windows, instance);
  LoadSettings(platform.registry);

  if (line.mode == RunMode::ChangePassword) {
    ChangePassword(system, window);
    windows.DestroyWindow(window);
    return 0;
  }

  const int32_t enumerated =
      EnumerateDisplayDevices(platform.graphics, platform.registry, SaverDeviceTest);
  if (Failed(enumerated)) {
    ShowErrorMessage(system, enumerated, true);
    shell.startFailure = enumerated;
    return 0;
  }

  if (line.mode == RunMode::Configure) {
    platform.dialogs.DialogBoxParamA(instance, configDialogId, window, ConfigDialogProc, 0);
    windows.DestroyWindow(window);
    return 0;
  }

  if (!switches.tracePath.empty()) {
    shell.trace.reset(ShellTrace::Open(switches.tracePath));
    if (!shell.trace) {
      const std::string text = "Could not write the trace file " + switches.tracePath + ".";
      system.MessageBoxA(NoWindow, text.c_str(), "Nightbloom", MB_OK | MB_ICONERROR);
      windows.DestroyWindow(window);
      return 1;
    }
  }

  system.ShowCursor(false);
  const int32_t started = AppInit(window);
  if (Failed(started)) {
    AppCleanup();
    TextureDestroyAll();
    ShowErrorMessage(system, started, true);
    shell.startFailure = started;
    return 0;
  }

  system.GetCursorPos(&shell.lastCursor);
  WindowEvent scratch{};
  windows.PeekMessageA(&scratch, NoWindow, 0, 0, PM_NOREMOVE);
  shell.ready = true;
  shell.running = true;
  shell.passwordUp = false;
  const uint32_t now = system.timeGetTime();
  StartTickSchedule(shell, now);
  shell.graceStart = now;

  uint32_t scratchValue = 0;
  system.SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 1, &scratchValue, 0);
  while (shell.running) SaverLoopPass();
  system.SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 0, &scratchValue, 0);
  system.timeEndPeriod(1);
  // The texture list keeps its bitmaps for the whole run; the run is over.
  TextureDestroyAll();
  shell.trace.reset();
  return static_cast<int>(shell.lastMessageParam);
}

}  // namespace nb
