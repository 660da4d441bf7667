// Fake system services.
#include "platform/fake/fake_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#ifdef NB_FAKE_EMBEDDED_RESOURCES
#include "resources/embedded.h"
#endif

namespace nb::fake {

namespace {
std::string Upper(const char* text) {
  std::string result = text ? text : "";
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}
template <class Handle>
int64_t H(Handle handle) {
  return static_cast<int64_t>(static_cast<uintptr_t>(handle));
}
}  // namespace

void FakeSystem::AddResource(const std::string& type, uint32_t id, std::vector<uint8_t> bytes) {
  resources_[{Upper(type.c_str()), id}] = std::move(bytes);
}

void FakeSystem::AddBitmapResource(uint32_t id, FakeBitmapData bitmap) { bitmaps_[id] = std::move(bitmap); }

void FakeSystem::RemoveResource(const std::string& type, uint32_t id) {
  if (Upper(type.c_str()) == "BITMAP") bitmaps_.erase(id);
  resources_.erase({Upper(type.c_str()), id});
}

size_t FakeSystem::LoadProjectResources() {
  size_t added = 0;
#ifdef NB_FAKE_EMBEDDED_RESOURCES
  for (const EmbeddedResource& resource : EmbeddedResources()) {
    if (!resource.type || !resource.data) continue;
    const auto id = static_cast<uint32_t>(resource.id);
    if (Upper(resource.type) == "BITMAP") {
      FakeBitmapData bitmap;
      if (!FakeBitmapData::FromBmpFile(resource.data, resource.size, &bitmap)) continue;
      AddBitmapResource(id, std::move(bitmap));
    } else {
      AddResource(resource.type, id, std::vector<uint8_t>(resource.data, resource.data + resource.size));
    }
    ++added;
  }
#endif
  return added;
}

uint32_t FakeSystem::GetCalendarTime() {
  world_.Record("System::GetCalendarTime");
  return calendarTime;
}

uint32_t FakeSystem::timeGetTime() {
  const uint32_t reading = now;
  now += stepPerRead;
  return reading;
}

uint32_t FakeSystem::timeBeginPeriod(uint32_t periodMs) {
  world_.Record("System::timeBeginPeriod", {periodMs});
  if (world_.Refuses("System::timeBeginPeriod") || periodMs == 0) return TIMERR_NOCANDO;
  activePeriods.push_back(periodMs);
  return TIMERR_NOERROR;
}

uint32_t FakeSystem::timeEndPeriod(uint32_t periodMs) {
  world_.Record("System::timeEndPeriod", {periodMs});
  if (world_.Refuses("System::timeEndPeriod")) return TIMERR_NOCANDO;
  auto it = std::find(activePeriods.begin(), activePeriods.end(), periodMs);
  if (it == activePeriods.end()) return TIMERR_NOCANDO;
  activePeriods.erase(it);
  return TIMERR_NOERROR;
}

int32_t FakeSystem::ShowCursor(bool show) {
  cursorCount += show ? 1 : -1;
  world_.Record("System::ShowCursor", {show ? 1 : 0, cursorCount});
  return cursorCount;
}

Cursor FakeSystem::SetCursor(Cursor shape) {
  world_.Record("System::SetCursor", {H(shape)});
  return std::exchange(cursorShape, shape);
}

bool FakeSystem::GetCursorPos(POINT* out) {
  if (!out || world_.Refuses("System::GetCursorPos")) return false;
  if (!cursorScript.empty()) {
    cursor = cursorScript.front();
    cursorScript.pop_front();
  }
  *out = cursor;
  return true;
}

int32_t FakeSystem::GetSystemMetrics(int32_t index) {
  if (world_.Refuses("System::GetSystemMetrics")) return 0;
  if (index == SM_CXSCREEN) return screenWidth;
  if (index == SM_CYSCREEN) return screenHeight;
  return 0;
}

bool FakeSystem::SystemParametersInfoA(uint32_t action, uint32_t param, void* data, uint32_t winIni) {
  world_.Record("System::SystemParametersInfoA", {action, param, winIni});
  if (world_.Refuses("System::SystemParametersInfoA") || action != SPI_SCREENSAVERRUNNING) return false;
  if (data) {
    const int32_t previous = screenSaverRunning ? 1 : 0;
    std::memcpy(data, &previous, sizeof previous);
  }
  screenSaverRunning = param != 0;
  return true;
}

int32_t FakeSystem::MessageBoxA(Window owner, const char* text, const char* caption, uint32_t type) {
  world_.Record("System::MessageBoxA", {H(owner), type}, {text ? text : "", caption ? caption : ""});
  if (world_.Refuses("System::MessageBoxA")) return 0;
  messageBoxes.push_back({owner, text ? text : "", caption ? caption : "", type});
  return messageBoxResult;
}

bool FakeSystem::GetVersionExA(OSVERSIONINFOA* info) {
  world_.Record("System::GetVersionExA");
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) || world_.Refuses("System::GetVersionExA")) {
    return false;
  }
  info->dwMajorVersion = 4;
  info->dwMinorVersion = platformId == VER_PLATFORM_WIN32_NT ? 0 : 10;
  info->dwBuildNumber = platformId == VER_PLATFORM_WIN32_NT ? 1381 : 1998;
  info->dwPlatformId = platformId;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return true;
}

ProviderCall FakeSystem::VerifyScreenSavePwd(Window owner, int32_t* accepted) {
  world_.Record("System::VerifyScreenSavePwd", {H(owner)});
  if (world_.Refuses("System::VerifyScreenSavePwd")) return ProviderCall::NoLibrary;
  switch (verifyProvider) {
    case Provider::MissingLibrary: return ProviderCall::NoLibrary;
    case Provider::MissingExport: return ProviderCall::NoExport;
    case Provider::Accept:
    case Provider::Refuse: break;
  }
  if (onVerify) onVerify(owner);
  if (accepted) *accepted = verifyProvider == Provider::Accept ? 1 : 0;
  return ProviderCall::Called;
}

ProviderCall FakeSystem::PwdChangePasswordA(const char* provider, Window owner) {
  world_.Record("System::PwdChangePasswordA", {H(owner)}, {provider ? provider : ""});
  if (world_.Refuses("System::PwdChangePasswordA")) return ProviderCall::NoLibrary;
  switch (changeProvider) {
    case Provider::MissingLibrary: return ProviderCall::NoLibrary;
    case Provider::MissingExport: return ProviderCall::NoExport;
    case Provider::Accept:
    case Provider::Refuse: break;
  }
  changeProviderNames.emplace_back(provider ? provider : "");
  return ProviderCall::Called;
}

ResourceData FakeSystem::FindResourceData(const char* type, uint32_t id) {
  world_.Record("System::FindResourceData", {id}, {type ? type : ""});
  if (world_.Refuses("System::FindResourceData")) return {nullptr, 0};
  auto it = resources_.find({Upper(type), id});
  if (it == resources_.end()) return {nullptr, 0};
  return {it->second.data(), static_cast<uint32_t>(it->second.size())};
}

Bitmap FakeSystem::LoadBitmapResource(const char* name, uint32_t id, uint32_t flags) {
  world_.Record(name, {id, flags});
  if (world_.Refuses(name)) return NoBitmap;
  auto it = bitmaps_.find(id);
  if (it == bitmaps_.end()) return NoBitmap;
  // Each load makes a new bitmap object, as on the platform.
  FakeBitmapData bitmap = it->second;
  bitmap.deviceIndependent = (flags & LR_CREATEDIBSECTION) != 0;
  return gdi_.AddBitmap(std::move(bitmap));
}

Bitmap FakeSystem::LoadBitmapA(uint32_t id) { return LoadBitmapResource("System::LoadBitmapA", id, 0); }

Bitmap FakeSystem::LoadImageA(uint32_t id, uint32_t flags) {
  return LoadBitmapResource("System::LoadImageA", id, flags);
}

}  // namespace nb::fake
