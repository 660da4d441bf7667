// The system port over the real Win32 calls: winmm's timer, the cursor, metrics, the
// screensaver-running flag, message boxes, the version, the Windows 95/98 password
// providers (loaded by name at run time, called with their real stdcall signatures) and
// the resources of the program's own module.
// Depends on the system port; the platform headers stay inside the source file.
#pragma once

#include "platform/system.h"

namespace nb::win32 {

class Win32System final : public System {
 public:
  uint32_t timeGetTime() override;
  uint32_t GetCalendarTime() override;
  uint32_t timeBeginPeriod(uint32_t periodMs) override;
  uint32_t timeEndPeriod(uint32_t periodMs) override;
  int32_t ShowCursor(bool show) override;
  Cursor SetCursor(Cursor cursor) override;
  bool GetCursorPos(POINT* out) override;
  int32_t GetSystemMetrics(int32_t index) override;
  bool SystemParametersInfoA(uint32_t action, uint32_t param, void* data,
                             uint32_t winIni) override;
  int32_t MessageBoxA(Window owner, const char* text, const char* caption,
                      uint32_t type) override;
  bool GetVersionExA(OSVERSIONINFOA* info) override;
  ProviderCall VerifyScreenSavePwd(Window owner, int32_t* accepted) override;
  ProviderCall PwdChangePasswordA(const char* provider, Window owner) override;
  ResourceData FindResourceData(const char* type, uint32_t id) override;
  Bitmap LoadBitmapA(uint32_t id) override;
  Bitmap LoadImageA(uint32_t id, uint32_t flags) override;
};

}  // namespace nb::win32
