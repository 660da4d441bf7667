// The embedded-resource System, the scene stage and the PNG writer of the headless
// programs. Depends on render_support.h, libpng and the embedded resources.
#include "render_support.h"

#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/gl/embedded_resources.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "scene/textures.h"
#include "show/show.h"

namespace nb {

uint32_t EmbeddedSystem::timeGetTime() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t EmbeddedSystem::GetCalendarTime() {
  return static_cast<uint32_t>(std::time(nullptr));
}

uint32_t EmbeddedSystem::timeBeginPeriod(uint32_t periodMs) {
  return periodMs == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}

uint32_t EmbeddedSystem::timeEndPeriod(uint32_t periodMs) {
  return periodMs == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR;
}

int32_t EmbeddedSystem::ShowCursor(bool show) { return show ? ++cursorCount_ : --cursorCount_; }

Cursor EmbeddedSystem::SetCursor(Cursor cursor) {
  const Cursor previous = cursor_;
  cursor_ = cursor;
  return previous;
}

bool EmbeddedSystem::GetCursorPos(POINT*) { return false; }  // there is no pointer

int32_t EmbeddedSystem::GetSystemMetrics(int32_t) { return 0; }  // nor a screen

bool EmbeddedSystem::SystemParametersInfoA(uint32_t, uint32_t, void*, uint32_t) { return false; }

int32_t EmbeddedSystem::MessageBoxA(Window, const char* text, const char*, uint32_t) {
  // Nobody could click it: the text goes to the error stream and the box counts as not
  // shown.
  if (text) std::fprintf(stderr, "%s\n", text);
  return 0;
}

bool EmbeddedSystem::GetVersionExA(OSVERSIONINFOA* info) {
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return false;
  std::memset(info, 0, sizeof(*info));
  info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  info->dwMajorVersion = 4;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;  // no Windows 95 password providers here
  return true;
}

ProviderCall EmbeddedSystem::VerifyScreenSavePwd(Window, int32_t*) {
  return ProviderCall::NoLibrary;
}

ProviderCall EmbeddedSystem::PwdChangePasswordA(const char*, Window) {
  return ProviderCall::NoLibrary;
}

ResourceData EmbeddedSystem::FindResourceData(const char* type, uint32_t id) {
  return EmbeddedResourceData(type, id);
}

Bitmap EmbeddedSystem::LoadBitmapA(uint32_t id) { return LoadImageA(id, LR_DEFAULTCOLOR); }

Bitmap EmbeddedSystem::LoadImageA(uint32_t id, uint32_t) { return LoadEmbeddedBitmap(gdi_, id); }

SceneStage::~SceneStage() {
  if (display_) {
    SceneReleaseDevice(display_->device.Get(), display_->viewport.Get());
  }
  TextureDestroyAll();
}

int32_t SceneStage::Open(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                         std::unique_ptr<SceneStage>* out, std::string* error) {
  std::unique_ptr<SceneStage> stage(new SceneStage);
  int32_t result = OpenHeadlessDisplay(width, height, bitsPerPixel, &stage->display_, error);
  if (Failed(result)) return result;
  stage->system_ = std::make_unique<EmbeddedSystem>(stage->display_->gdi);
  SceneInit(*stage->system_, stage->display_->gdi);
  result = SceneInitDevice(stage->display_->device.Get(), stage->display_->viewport.Get());
  if (Failed(result)) {
    if (error) *error = "the scene could not be set up on the device";
    return result;
  }
  *out = std::move(stage);
  return DD_OK;
}

void SceneStage::Tick() {
  UpdateCamera(display_->device.Get());
  SimTick();
}

void SceneStage::Render() {
  SceneRender(display_->device.Get(), display_->viewport.Get(), &display_->viewportRect);
}

bool WritePng(const std::string& path, const std::vector<uint8_t>& rgb, uint32_t width,
              uint32_t height, std::string* error) {
  if (rgb.size() < static_cast<size_t>(width) * height * 3 || width == 0 || height == 0) {
    if (error) *error = "no picture to write";
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    if (error) *error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  // libpng reports its errors by longjmp; nothing with a destructor lives in this frame
  // between here and the end of the writing, and the flag survives the jump.
  volatile bool ok = false;
  if (png && info && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) {
      png_write_row(png, rgb.data() + static_cast<size_t>(y) * width * 3);
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  const bool closed = std::fclose(file) == 0;
  if ((!ok || !closed) && error) *error = "writing '" + path + "' failed";
  return ok && closed;
}

}  // namespace nb
