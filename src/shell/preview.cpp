// The preview: a polling loop that stretches one bitmap into a child window.
#include "shell/preview.h"

#include "shell/saver_window.h"
#include "shell/shell.h"

namespace nb {

namespace {

void DrawPicture(Gdi& gdi, WindowSystem& windows, Window child, Bitmap picture) {
  const Dc dc = gdi.GetDC(child);
  RECT client{};
  windows.GetClientRect(child, &client);
  gdi.SetStretchBltMode(dc, COLORONCOLOR);
  const Dc memory = gdi.CreateCompatibleDC(dc);
  if (!IsNone(memory)) {
    BITMAP info{};
    gdi.GetObjectA(picture, &info);
    const Bitmap previous = gdi.SelectObject(memory, picture);
    // The picture fills the client area; its aspect ratio is not kept.
    gdi.StretchBlt(dc, client.left, client.top, client.right, client.bottom, memory, 0, 0,
                   info.bmWidth, info.bmHeight, SRCCOPY);
    gdi.SelectObject(memory, previous);
    gdi.DeleteDC(memory);
  }
  gdi.ReleaseDC(child, dc);
}

}  // namespace

void Preview(Platform& platform, Window parent, Instance instance) {
  WindowSystem& windows = platform.windows;
  System& system = platform.system;
  // The plain window procedure reaches the platform through the shell state.
  shell.platform = &platform;
  shell.instance = instance;

  WNDCLASSA childClass{};
  childClass.style = CS_HREDRAW | CS_VREDRAW;
  childClass.lpfnWndProc = PlainWindowProc;
  childClass.hInstance = instance;
  childClass.iconResource = 0;
  childClass.background = ClassBackground::Black;
  childClass.lpszClassName = previewClassName;
  windows.RegisterClassA(childClass);

  RECT parentRect{};
  windows.GetWindowRect(parent, &parentRect);
  const Window child = windows.CreateWindowExA(
      0, previewClassName, "Nightbloom", WS_CHILD | WS_VISIBLE, 0, 0,
      parentRect.right - parentRect.left, parentRect.bottom - parentRect.top, parent, instance);
  if (IsNone(child)) return;

  WindowEvent event{};
  windows.PeekMessageA(&event, NoWindow, 0, 0, PM_NOREMOVE);
  event = WindowEvent{};
  uint32_t lastDrawing = system.timeGetTime();
  const Bitmap picture = system.LoadBitmapA(previewBitmapId);

  for (;;) {
    while (windows.PeekMessageA(&event, NoWindow, 0, 0, PM_REMOVE | PM_NOYIELD)) {
      windows.DispatchMessageA(event);
    }
    if (event.message == WM_QUIT) break;
    const uint32_t now = system.timeGetTime();
    if (now - lastDrawing <= PreviewRedrawMs) continue;
    lastDrawing = now;
    DrawPicture(platform.gdi, windows, child, picture);
  }

  if (!IsNone(picture)) platform.gdi.DeleteObject(picture);
}

}  // namespace nb
