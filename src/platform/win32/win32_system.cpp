#include "platform/win32/win32_system.h"

#include <ctime>

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

namespace nb::win32 {

namespace {

HWND ToHwnd(Window window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }
HMODULE Self() { return GetModuleHandleA(nullptr); }

// The providers' exports, as the Windows 95/98 password providers declare them.
using VerifyScreenSavePwdFn = BOOL(WINAPI*)(HWND owner);
using PwdChangePasswordFn = DWORD(WINAPI*)(LPCSTR provider, HWND owner, DWORD reserved1,
                                           DWORD reserved2);

template <class T>
T ExportOf(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

uint32_t Win32System::timeGetTime() { return ::timeGetTime(); }

uint32_t Win32System::GetCalendarTime() { return static_cast<uint32_t>(std::time(nullptr)); }

uint32_t Win32System::timeBeginPeriod(uint32_t periodMs) { return ::timeBeginPeriod(periodMs); }

uint32_t Win32System::timeEndPeriod(uint32_t periodMs) { return ::timeEndPeriod(periodMs); }

int32_t Win32System::ShowCursor(bool show) { return ::ShowCursor(show ? TRUE : FALSE); }

Cursor Win32System::SetCursor(Cursor cursor) {
  const HCURSOR previous =
      ::SetCursor(reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(cursor)));
  return Cursor{reinterpret_cast<uintptr_t>(previous)};
}

bool Win32System::GetCursorPos(POINT* out) {
  if (!out) return false;
  ::POINT position{};
  if (!::GetCursorPos(&position)) return false;
  *out = POINT{static_cast<int32_t>(position.x), static_cast<int32_t>(position.y)};
  return true;
}

int32_t Win32System::GetSystemMetrics(int32_t index) { return ::GetSystemMetrics(index); }

bool Win32System::SystemParametersInfoA(uint32_t action, uint32_t param, void* data,
                                        uint32_t winIni) {
  return ::SystemParametersInfoA(action, param, data, winIni) != FALSE;
}

int32_t Win32System::MessageBoxA(Window owner, const char* text, const char* caption,
                                 uint32_t type) {
  return ::MessageBoxA(ToHwnd(owner), text, caption, type);
}

bool Win32System::GetVersionExA(OSVERSIONINFOA* info) {
  return info && ::GetVersionExA(reinterpret_cast<::OSVERSIONINFOA*>(info)) != FALSE;
}

ProviderCall Win32System::VerifyScreenSavePwd(Window owner, int32_t* accepted) {
  const HMODULE library = LoadLibraryA("PASSWORD.CPL");
  if (!library) return ProviderCall::NoLibrary;
  const auto verify = ExportOf<VerifyScreenSavePwdFn>(library, "VerifyScreenSavePwd");
  if (!verify) {
    FreeLibrary(library);
    return ProviderCall::NoExport;
  }
  const BOOL result = verify(ToHwnd(owner));
  FreeLibrary(library);
  if (accepted) *accepted = result;
  return ProviderCall::Called;
}

ProviderCall Win32System::PwdChangePasswordA(const char* provider, Window owner) {
  const HMODULE library = LoadLibraryA("MPR.DLL");
  if (!library) return ProviderCall::NoLibrary;
  const auto change = ExportOf<PwdChangePasswordFn>(library, "PwdChangePasswordA");
  if (!change) {
    FreeLibrary(library);
    return ProviderCall::NoExport;
  }
  change(provider, ToHwnd(owner), 0, 0);
  FreeLibrary(library);
  return ProviderCall::Called;
}

ResourceData Win32System::FindResourceData(const char* type, uint32_t id) {
  const HRSRC info = FindResourceA(Self(), MAKEINTRESOURCEA(id), type);
  if (!info) return ResourceData{nullptr, 0};
  const HGLOBAL loaded = LoadResource(Self(), info);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return ResourceData{nullptr, 0};
  return ResourceData{static_cast<const uint8_t*>(bytes),
                      static_cast<uint32_t>(SizeofResource(Self(), info))};
}

Bitmap Win32System::LoadBitmapA(uint32_t id) {
  return Bitmap{reinterpret_cast<uintptr_t>(::LoadBitmapA(Self(), MAKEINTRESOURCEA(id)))};
}

Bitmap Win32System::LoadImageA(uint32_t id, uint32_t flags) {
  return Bitmap{reinterpret_cast<uintptr_t>(
      ::LoadImageA(Self(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, flags))};
}

}  // namespace nb::win32
