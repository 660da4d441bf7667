// The system port: the multimedia timer, the cursor, screen metrics, the
// screensaver-running flag, message boxes, the platform version, the two screensaver
// password providers and the resources of the executable.
// Depends on handles.h; no platform headers.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace nb {

inline constexpr uint32_t TIMERR_NOERROR = 0;
inline constexpr uint32_t TIMERR_NOCANDO = 97;

inline constexpr int32_t SM_CXSCREEN = 0;
inline constexpr int32_t SM_CYSCREEN = 1;

inline constexpr uint32_t SPI_SCREENSAVERRUNNING = 97;

inline constexpr uint32_t MB_OK = 0x00000000;
inline constexpr uint32_t MB_ICONERROR = 0x00000010;
inline constexpr uint32_t MB_ICONEXCLAMATION = 0x00000030;
inline constexpr int32_t IDOK = 1;
inline constexpr int32_t IDCANCEL = 2;

inline constexpr uint32_t VER_PLATFORM_WIN32s = 0;
inline constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

inline constexpr uint32_t LR_DEFAULTCOLOR = 0x0000;
inline constexpr uint32_t LR_CREATEDIBSECTION = 0x2000;

// 148 bytes, as GetVersionExA wants them (dwOSVersionInfoSize = 148).
struct OSVERSIONINFOA {
  uint32_t dwOSVersionInfoSize;
  uint32_t dwMajorVersion;
  uint32_t dwMinorVersion;
  uint32_t dwBuildNumber;
  uint32_t dwPlatformId;
  char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

// How a call into a password provider library went.
enum class ProviderCall : int32_t {
  Called = 0,     // library loaded, export found and called
  NoLibrary = 1,  // the library could not be loaded
  NoExport = 2,   // loaded, but without the export (it was unloaded again)
};

// Bytes of a resource of the executable, read in place (valid until process end).
struct ResourceData {
  const uint8_t* data;  // null when there is no such resource
  uint32_t size;
};

class System {
 public:
  // Milliseconds since some start, wrapping at 2^32; compare only by unsigned difference.
  virtual uint32_t timeGetTime() = 0;
  // The calendar time in whole seconds since 1970-01-01 00:00 UTC, as the C library's
  // time() gives it, truncated to 32 bits. Read once, to seed the show.
  virtual uint32_t GetCalendarTime() = 0;
  // Asks for a timer resolution of periodMs. TIMERR_NOERROR or TIMERR_NOCANDO.
  virtual uint32_t timeBeginPeriod(uint32_t periodMs) = 0;
  // Ends a timeBeginPeriod of the same period. TIMERR_NOERROR or TIMERR_NOCANDO.
  virtual uint32_t timeEndPeriod(uint32_t periodMs) = 0;
  // Raises (show) or lowers the cursor's display count; returns the new count. The cursor
  // is visible while the count is 0 or more.
  virtual int32_t ShowCursor(bool show) = 0;
  // Sets the cursor shape (NoCursor: none); returns the previous shape.
  virtual Cursor SetCursor(Cursor cursor) = 0;
  // The cursor position in screen coordinates. False when it cannot be read.
  virtual bool GetCursorPos(POINT* out) = 0;
  // SM_CXSCREEN / SM_CYSCREEN: the primary screen's size in pixels; 0 for other indices.
  virtual int32_t GetSystemMetrics(int32_t index) = 0;
  // SPI_SCREENSAVERRUNNING with param TRUE/FALSE (data receives the previous state, may be
  // null). Returns false for a failed or unknown action.
  virtual bool SystemParametersInfoA(uint32_t action, uint32_t param, void* data,
                                     uint32_t winIni) = 0;
  // A modal message box (owner NoWindow: none) with MB_* style bits; waits until it is
  // closed and returns the button (IDOK), 0 when it could not be shown.
  virtual int32_t MessageBoxA(Window owner, const char* text, const char* caption,
                              uint32_t type) = 0;
  // Fills the version record whose dwOSVersionInfoSize the caller set to 148
  // (dwPlatformId VER_PLATFORM_WIN32_NT on NT). False on failure.
  virtual bool GetVersionExA(OSVERSIONINFOA* info) = 0;
  // Loads "PASSWORD.CPL", calls its "VerifyScreenSavePwd"(owner) and unloads it;
  // *accepted gets its BOOL when the result is Called (untouched otherwise).
  virtual ProviderCall VerifyScreenSavePwd(Window owner, int32_t* accepted) = 0;
  // Loads "MPR.DLL", calls "PwdChangePasswordA"(provider, owner, 0, 0) and unloads it.
  // The provider's own result is not reported.
  virtual ProviderCall PwdChangePasswordA(const char* provider, Window owner) = 0;
  // The bytes of the program's resource of the given type ("WAV") and integer id.
  // {nullptr, 0} when missing.
  virtual ResourceData FindResourceData(const char* type, uint32_t id) = 0;
  // A device-dependent bitmap from the program's bitmap resource id; NoBitmap when
  // missing. Free it with Gdi::DeleteObject.
  virtual Bitmap LoadBitmapA(uint32_t id) = 0;
  // A bitmap from resource id; with LR_CREATEDIBSECTION a device-independent bitmap whose
  // pixels GetObjectA reports (bmBits). NoBitmap when missing.
  virtual Bitmap LoadImageA(uint32_t id, uint32_t flags) = 0;

 protected:
  ~System() = default;
};

}  // namespace nb
