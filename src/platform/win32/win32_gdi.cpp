#include "platform/win32/win32_gdi.h"

#include <windows.h>

namespace nb::win32 {

namespace {
HWND ToHwnd(Window window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }
HDC ToHdc(Dc dc) { return reinterpret_cast<HDC>(static_cast<uintptr_t>(dc)); }
Dc FromHdc(HDC dc) { return Dc{reinterpret_cast<uintptr_t>(dc)}; }
HBITMAP ToHbitmap(Bitmap bitmap) {
  return reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(bitmap));
}
}  // namespace

Dc Win32Gdi::GetDC(Window window) { return FromHdc(::GetDC(ToHwnd(window))); }

int32_t Win32Gdi::ReleaseDC(Window window, Dc dc) { return ::ReleaseDC(ToHwnd(window), ToHdc(dc)); }

Dc Win32Gdi::CreateCompatibleDC(Dc dc) { return FromHdc(::CreateCompatibleDC(ToHdc(dc))); }

bool Win32Gdi::DeleteDC(Dc dc) { return ::DeleteDC(ToHdc(dc)) != FALSE; }

Bitmap Win32Gdi::SelectObject(Dc dc, Bitmap bitmap) {
  const HGDIOBJ previous = ::SelectObject(ToHdc(dc), ToHbitmap(bitmap));
  if (previous == HGDI_ERROR) return NoBitmap;
  return Bitmap{reinterpret_cast<uintptr_t>(previous)};
}

int32_t Win32Gdi::SetStretchBltMode(Dc dc, int32_t mode) {
  return ::SetStretchBltMode(ToHdc(dc), mode);
}

bool Win32Gdi::BitBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src,
                      int32_t srcX, int32_t srcY, uint32_t rop) {
  return ::BitBlt(ToHdc(dst), x, y, width, height, ToHdc(src), srcX, srcY, rop) != FALSE;
}

bool Win32Gdi::StretchBlt(Dc dst, int32_t x, int32_t y, int32_t width, int32_t height, Dc src,
                          int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                          uint32_t rop) {
  return ::StretchBlt(ToHdc(dst), x, y, width, height, ToHdc(src), srcX, srcY, srcWidth,
                      srcHeight, rop) != FALSE;
}

int32_t Win32Gdi::GetObjectA(Bitmap bitmap, BITMAP* out) {
  if (!out) return 0;
  return ::GetObjectA(ToHbitmap(bitmap), sizeof(::BITMAP), out);
}

uint32_t Win32Gdi::GetDIBColorTable(Dc dc, uint32_t start, uint32_t count, RGBQUAD* out) {
  return ::GetDIBColorTable(ToHdc(dc), start, count, reinterpret_cast<::RGBQUAD*>(out));
}

bool Win32Gdi::DeleteObject(Bitmap bitmap) { return ::DeleteObject(ToHbitmap(bitmap)) != FALSE; }

}  // namespace nb::win32
