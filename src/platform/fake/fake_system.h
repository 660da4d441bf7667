// Fake system services: a settable millisecond clock (wrapping at 2^32), timer periods,
// cursor state and a scriptable cursor position, screen size, the screensaver-running
// flag, recorded message boxes, a scriptable platform version and password providers,
// and the program's resources from an in-memory table (optionally filled from the
// project's real resource files).
// Depends on fake_world.h, fake_gdi.h. Test support only.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake/fake_gdi.h"
#include "platform/fake/fake_world.h"
#include "platform/system.h"

namespace nb::fake {

// How a password provider library behaves.
enum class Provider {
  MissingLibrary,  // the library cannot be loaded
  MissingExport,   // loaded, without the export
  Accept,          // the export is called and returns TRUE (for the change: is called)
  Refuse,          // the export is called and returns FALSE
};

struct MessageBoxRecord {
  Window owner;
  std::string text;
  std::string caption;
  uint32_t type;
};

class FakeSystem final : public System {
 public:
  FakeSystem(FakeWorld& world, FakeGdi& gdi) : world_(world), gdi_(gdi) {}

  // ---- Clock: timeGetTime returns now, then advances it by stepPerRead.
  uint32_t now = 0;
  uint32_t stepPerRead = 0;
  void Advance(uint32_t ms) { now += ms; }
  // What GetCalendarTime reports (2001-09-09 01:46:40 UTC).
  uint32_t calendarTime = 1000000000;
  // Periods begun and not yet ended.
  std::vector<uint32_t> activePeriods;

  // ---- Cursor and screen
  int32_t cursorCount = 0;  // ShowCursor's display count
  Cursor cursorShape{0x20};  // the class cursor until SetCursor
  POINT cursor{0, 0};
  // Positions GetCursorPos reports first, one per call, before falling back to cursor
  // (which then keeps the last scripted position).
  std::deque<POINT> cursorScript;
  int32_t screenWidth = 640;
  int32_t screenHeight = 480;
  bool screenSaverRunning = false;

  // ---- Message boxes
  std::vector<MessageBoxRecord> messageBoxes;
  int32_t messageBoxResult = IDOK;

  // ---- Version and password providers
  uint32_t platformId = VER_PLATFORM_WIN32_WINDOWS;
  Provider verifyProvider = Provider::Accept;
  Provider changeProvider = Provider::Accept;
  // Runs while the verify export "is asking" (inside VerifyScreenSavePwd).
  std::function<void(Window owner)> onVerify;
  std::vector<std::string> changeProviderNames;  // provider argument of each change call

  // ---- Resources
  void AddResource(const std::string& type, uint32_t id, std::vector<uint8_t> bytes);
  void AddBitmapResource(uint32_t id, FakeBitmapData bitmap);
  void RemoveResource(const std::string& type, uint32_t id);
  // Fills the tables from the project's resources compiled into nightbloom_resources
  // (bitmaps, waves, icon). Returns the number of resources added; 0 when this build has
  // no embedded resources.
  size_t LoadProjectResources();

  // ---- System
  uint32_t timeGetTime() override;
  uint32_t GetCalendarTime() override;
  uint32_t timeBeginPeriod(uint32_t periodMs) override;
  uint32_t timeEndPeriod(uint32_t periodMs) override;
  int32_t ShowCursor(bool show) override;
  Cursor SetCursor(Cursor cursor) override;
  bool GetCursorPos(POINT* out) override;
  int32_t GetSystemMetrics(int32_t index) override;
  bool SystemParametersInfoA(uint32_t action, uint32_t param, void* data, uint32_t winIni) override;
  int32_t MessageBoxA(Window owner, const char* text, const char* caption, uint32_t type) override;
  bool GetVersionExA(OSVERSIONINFOA* info) override;
  ProviderCall VerifyScreenSavePwd(Window owner, int32_t* accepted) override;
  ProviderCall PwdChangePasswordA(const char* provider, Window owner) override;
  ResourceData FindResourceData(const char* type, uint32_t id) override;
  Bitmap LoadBitmapA(uint32_t id) override;
  Bitmap LoadImageA(uint32_t id, uint32_t flags) override;

 private:
  Bitmap LoadBitmapResource(const char* name, uint32_t id, uint32_t flags);

  FakeWorld& world_;
  FakeGdi& gdi_;
  std::map<std::pair<std::string, uint32_t>, std::vector<uint8_t>> resources_;
  std::map<uint32_t, FakeBitmapData> bitmaps_;
};

}  // namespace nb::fake
