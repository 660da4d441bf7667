// The entry of nightbloom.scr: reads the environment's seed and trace switches, then hands
// the command line to the shell on the real Windows machine.
#include <cstdlib>
#include <string>

#include "platform/win32/win32_platform.h"
#include "shell/run_switches.h"
#include "shell/shell.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  nb::RunSwitches switches;
  std::string problem;
  if (!nb::ParseRunSwitches(std::getenv(nb::seedSwitchName), std::getenv(nb::traceSwitchName),
                            &switches, &problem)) {
    ::MessageBoxA(nullptr, problem.c_str(), "Nightbloom", MB_OK | MB_ICONERROR);
    return 2;
  }
  static nb::win32::Win32Platform machine;
  nb::Platform ports = machine.Ports();
  return nb::ShellMain(ports, nb::Instance{reinterpret_cast<uintptr_t>(instance)}, commandLine,
                       switches);
}
