// What the headless programs (nightbloom-render, the image tests, the frame benchmark)
// share: a System whose resources are the embedded ones (bitmaps become DIBs of the
// memory GDI), the show run to a tick on a headless display, one frame drawn through the
// scene, and PNG writing.
// Depends on the show, the scene, the GL driver's headless display and the embedded
// resources. Must not play sound: the show's sound events go nowhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl/gl_headless.h"
#include "platform/gl/memory_gdi.h"
#include "platform/system.h"

namespace nb {

// The System of a program without a desktop: resources from the embedded files, a real
// millisecond clock; no cursor, screen, message boxes or password providers (each such
// call reports failure or "no library", as the port allows).
class EmbeddedSystem final : public System {
 public:
  explicit EmbeddedSystem(MemoryGdi& gdi) : gdi_(gdi) {}

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

 private:
  MemoryGdi& gdi_;
  int32_t cursorCount_ = 0;
  Cursor cursor_{};
};

// A headless display with the scene set up on it: SceneInit with the embedded textures,
// SceneInitDevice for the display's device. Destroying it releases the scene's textures
// before the display.
class SceneStage {
 public:
  ~SceneStage();
  // DD_OK, or the display's failure with a reason in *error.
  static int32_t Open(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                      std::unique_ptr<SceneStage>* out, std::string* error);

  HeadlessDisplay& display() { return *display_; }
  // One tick as the main loop runs it: UpdateCamera, then SimTick.
  void Tick();
  // SceneRender into the render target.
  void Render();

 private:
  SceneStage() = default;
  std::unique_ptr<HeadlessDisplay> display_;
  std::unique_ptr<EmbeddedSystem> system_;
};

// Writes 8-bit RGB rows (top row first) as a PNG file. False with a reason in *error.
bool WritePng(const std::string& path, const std::vector<uint8_t>& rgb, uint32_t width,
              uint32_t height, std::string* error);

}  // namespace nb
