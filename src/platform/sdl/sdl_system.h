// The system port of the Linux program: SDL's millisecond clock, the cursor (its position
// from the X server itself), the screen's
// size, message boxes (SDL's own; on the error stream as well, and only there without a
// display; a termination signal closes one that is up), an NT-type version (so no password provider is ever asked), the desktop's
// screensaver held off while the full-screen show runs, and the resources compiled into
// the program.
// Depends on SDL2, sdl_gdi.h (bitmaps become DIBs of its memory GDI) and the embedded
// resources.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/sdl/sdl_gdi.h"
#include "platform/sdl/x_link.h"
#include "platform/system.h"

namespace nb {

struct SdlSystemOptions {
  // Hold off the desktop's screensaver and idle blanking while the saver says it runs
  // (the full-screen show; not a show in a window, nor one inside XScreenSaver's window).
  bool holdOffScreenSaver = true;
  // Where message box texts also go.
  std::FILE* messages = stderr;
  // Whether message boxes are shown on the display at all: a show inside another
  // program's window (XScreenSaver's) must not open windows of its own, and nobody would
  // answer them.
  bool messageBoxes = true;
};

class SdlSystem final : public System {
 public:
  // link: the program's own X connection, which asks the server where the pointer is
  // (SDL may answer from a cache that mouse moves of other programs do not refresh).
  SdlSystem(bool video, SdlGdi& gdi, SdlSystemOptions options, XLink* link = nullptr);
  SdlSystem(const SdlSystem&) = delete;
  SdlSystem& operator=(const SdlSystem&) = delete;

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

  bool screenSaverHeldOff() const { return running_ && options_.holdOffScreenSaver; }

 private:
  void ApplyCursor();

  bool video_;
  SdlGdi& gdi_;
  XLink* link_;
  SdlSystemOptions options_;
  int32_t cursorCount_ = 0;
  bool cursorShape_ = true;  // false after SetCursor(NoCursor)
  bool running_ = false;
  uint32_t periods_ = 0;
};

}  // namespace nb
