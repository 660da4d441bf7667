// Fake window system: classes, windows, canvases and the scripted queue.
#include "platform/fake/fake_window.h"

#include <algorithm>
#include <cctype>

namespace nb::fake {

namespace {
template <class Handle>
int64_t H(Handle handle) {
  return static_cast<int64_t>(static_cast<uintptr_t>(handle));
}

// Class names compare without regard to case, as on the platform.
std::string Key(const char* name) {
  std::string key = name ? name : "";
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}
}  // namespace

Window FakeWindowSystem::AddForeignWindow(const RECT& screenRect) {
  FakeWindow window;
  window.handle = Window{world_.NewHandle()};
  window.rect = screenRect;
  window.visible = true;
  ResizeCanvas(window);
  const Window handle = window.handle;
  windows_[static_cast<uintptr_t>(handle)] = std::move(window);
  creationOrder_.push_back(static_cast<uintptr_t>(handle));
  return handle;
}

const FakeWindow* FakeWindowSystem::Find(Window window) const {
  auto it = windows_.find(static_cast<uintptr_t>(window));
  return it == windows_.end() ? nullptr : &it->second;
}

FakeWindow* FakeWindowSystem::FindMutable(Window window) {
  auto it = windows_.find(static_cast<uintptr_t>(window));
  return it == windows_.end() ? nullptr : &it->second;
}

Window FakeWindowSystem::FindByClass(const std::string& className) const {
  const std::string key = Key(className.c_str());
  for (auto it = creationOrder_.rbegin(); it != creationOrder_.rend(); ++it) {
    auto found = windows_.find(*it);
    if (found != windows_.end() && Key(found->second.className.c_str()) == key) return found->second.handle;
  }
  return NoWindow;
}

bool FakeWindowSystem::ClassRegistered(const std::string& className) const {
  return classes_.count(Key(className.c_str())) != 0;
}

const WNDCLASSA* FakeWindowSystem::FindClass(const std::string& className) const {
  auto it = classes_.find(Key(className.c_str()));
  return it == classes_.end() ? nullptr : &it->second.description;
}

WNDPROC FakeWindowSystem::ProcOf(Window window) const {
  const FakeWindow* found = Find(window);
  if (!found || found->className.empty()) return nullptr;
  auto it = classes_.find(Key(found->className.c_str()));
  return it == classes_.end() ? nullptr : it->second.description.lpfnWndProc;
}

intptr_t FakeWindowSystem::Send(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  WNDPROC proc = ProcOf(window);
  return proc ? proc(window, message, wParam, lParam) : 0;
}

PixelStore* FakeWindowSystem::Canvas(Window window) {
  FakeWindow* found = FindMutable(window);
  return found ? &found->canvas : nullptr;
}

void FakeWindowSystem::ResizeCanvas(FakeWindow& window) {
  window.canvas = PixelStore(window.rect.right - window.rect.left, window.rect.bottom - window.rect.top,
                             FormatXrgb8888());
}

uint16_t FakeWindowSystem::RegisterClassA(const WNDCLASSA& windowClass) {
  world_.Record("WindowSystem::RegisterClassA", {windowClass.style, windowClass.iconResource,
                                                 static_cast<int64_t>(windowClass.background)},
                {windowClass.lpszClassName ? windowClass.lpszClassName : ""});
  if (world_.Refuses("WindowSystem::RegisterClassA")) return 0;
  if (!windowClass.lpszClassName || !*windowClass.lpszClassName || !windowClass.lpfnWndProc) return 0;
  const std::string key = Key(windowClass.lpszClassName);
  if (classes_.count(key)) return 0;  // ERROR_CLASS_ALREADY_EXISTS
  ClassEntry entry{windowClass, windowClass.lpszClassName};
  classes_[key] = entry;
  classes_[key].description.lpszClassName = classes_[key].name.c_str();
  return nextAtom_++;
}

Window FakeWindowSystem::CreateWindowExA(uint32_t exStyle, const char* className, const char* title,
                                         uint32_t style, int32_t x, int32_t y, int32_t width,
                                         int32_t height, Window parent, Instance instance) {
  world_.Record("WindowSystem::CreateWindowExA",
                {exStyle, style, x, y, width, height, H(parent), H(instance)},
                {className ? className : "", title ? title : ""});
  if (world_.Refuses("WindowSystem::CreateWindowExA")) return NoWindow;
  if (!className || !classes_.count(Key(className))) return NoWindow;
  const FakeWindow* parentWindow = Find(parent);
  if ((style & WS_CHILD) && !parentWindow) return NoWindow;
  if (!IsNone(parent) && !parentWindow) return NoWindow;
  if (width < 0 || height < 0) return NoWindow;
  FakeWindow window;
  window.handle = Window{world_.NewHandle()};
  window.className = className;
  window.title = title ? title : "";
  window.style = style;
  window.exStyle = exStyle;
  const int32_t originX = (style & WS_CHILD) ? parentWindow->rect.left : 0;
  const int32_t originY = (style & WS_CHILD) ? parentWindow->rect.top : 0;
  window.rect = RECT{originX + x, originY + y, originX + x + width, originY + y + height};
  window.parent = parent;
  window.instance = instance;
  window.visible = (style & WS_VISIBLE) != 0;
  window.needsPaint = window.visible;
  ResizeCanvas(window);
  const Window handle = window.handle;
  windows_[static_cast<uintptr_t>(handle)] = std::move(window);
  creationOrder_.push_back(static_cast<uintptr_t>(handle));
  MINMAXINFO info{};
  Send(handle, WM_GETMINMAXINFO, 0, reinterpret_cast<intptr_t>(&info));
  Send(handle, WM_CREATE, 0, 0);
  return handle;
}

bool FakeWindowSystem::ShowWindow(Window window, int32_t command) {
  world_.Record("WindowSystem::ShowWindow", {H(window), command});
  FakeWindow* found = FindMutable(window);
  if (!found || world_.Refuses("WindowSystem::ShowWindow")) return false;
  const bool wasVisible = found->visible;
  found->visible = command != SW_HIDE;
  found->lastShow = command;
  if (found->visible && !wasVisible) found->needsPaint = true;
  if (sendSizeOnShow && command != SW_HIDE) {
    uintptr_t kind = SIZE_RESTORED;
    if (command == SW_SHOWMAXIMIZED) kind = SIZE_MAXIMIZED;
    if (command == SW_SHOWMINIMIZED || command == SW_MINIMIZE) kind = SIZE_MINIMIZED;
    const RECT& r = found->rect;
    const intptr_t size = MakeLParam(static_cast<int16_t>(r.right - r.left), static_cast<int16_t>(r.bottom - r.top));
    Send(window, WM_SIZE, kind, size);
  }
  return wasVisible;
}

bool FakeWindowSystem::UpdateWindow(Window window) {
  world_.Record("WindowSystem::UpdateWindow", {H(window)});
  FakeWindow* found = FindMutable(window);
  if (!found || world_.Refuses("WindowSystem::UpdateWindow")) return false;
  if (found->visible && found->needsPaint) {
    found->needsPaint = false;
    Send(window, WM_PAINT, 0, 0);
  }
  return true;
}

bool FakeWindowSystem::DestroyWindow(Window window) {
  world_.Record("WindowSystem::DestroyWindow", {H(window)});
  if (!Find(window) || world_.Refuses("WindowSystem::DestroyWindow")) return false;
  const auto handle = static_cast<uintptr_t>(window);
  if (std::find(destroying_.begin(), destroying_.end(), handle) != destroying_.end()) return false;
  destroying_.push_back(handle);
  // The window hears of its end first, then its children (deepest last), then all go.
  Send(window, WM_DESTROY, 0, 0);
  std::vector<uintptr_t> children;
  for (const auto& [handle, w] : windows_) {
    if (w.parent == window) children.push_back(handle);
  }
  for (uintptr_t child : children) {
    if (windows_.count(child)) DestroyWindow(Window{child});
  }
  windows_.erase(handle);
  std::erase(destroying_, handle);
  std::erase_if(queue_, [&](const WindowEvent& e) { return e.hwnd == window; });
  return true;
}

bool FakeWindowSystem::GetWindowRect(Window window, RECT* out) {
  world_.Record("WindowSystem::GetWindowRect", {H(window)});
  const FakeWindow* found = Find(window);
  if (!found || !out || world_.Refuses("WindowSystem::GetWindowRect")) return false;
  *out = found->rect;
  return true;
}

bool FakeWindowSystem::GetClientRect(Window window, RECT* out) {
  world_.Record("WindowSystem::GetClientRect", {H(window)});
  const FakeWindow* found = Find(window);
  if (!found || !out || world_.Refuses("WindowSystem::GetClientRect")) return false;
  *out = RECT{0, 0, found->rect.right - found->rect.left, found->rect.bottom - found->rect.top};
  return true;
}

bool FakeWindowSystem::IsWindow(Window window) { return Find(window) != nullptr; }

bool FakeWindowSystem::PeekMessageA(WindowEvent* out, Window filter, uint32_t first, uint32_t last,
                                    uint32_t removeFlags) {
  auto matches = [&](const WindowEvent& e) {
    if (!IsNone(filter) && e.hwnd != filter) return false;
    if (first == 0 && last == 0) return true;
    return e.message >= first && e.message <= last;
  };
  if (world_.Refuses("WindowSystem::PeekMessageA")) return false;
  auto it = std::find_if(queue_.begin(), queue_.end(), matches);
  if (it == queue_.end() && onQueueEmpty) {
    onQueueEmpty(++emptyPolls_);
    it = std::find_if(queue_.begin(), queue_.end(), matches);
  }
  if (it == queue_.end()) return false;
  if (out) *out = *it;
  if (removeFlags & PM_REMOVE) queue_.erase(it);
  return true;
}

intptr_t FakeWindowSystem::DispatchMessageA(const WindowEvent& event) {
  world_.Record("WindowSystem::DispatchMessageA", {H(event.hwnd), event.message,
                                                   static_cast<int64_t>(event.wParam), event.lParam});
  return Send(event.hwnd, event.message, event.wParam, event.lParam);
}

void FakeWindowSystem::PostQuitMessage(int32_t exitCode) {
  world_.Record("WindowSystem::PostQuitMessage", {exitCode});
  quitCode = exitCode;
  queue_.push_back(WindowEvent{NoWindow, WM_QUIT, static_cast<uintptr_t>(static_cast<uint32_t>(exitCode)), 0});
}

intptr_t FakeWindowSystem::DefWindowProcA(Window window, uint32_t message, uintptr_t wParam,
                                          intptr_t lParam) {
  world_.Record("WindowSystem::DefWindowProcA", {H(window), message, static_cast<int64_t>(wParam), lParam});
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

bool FakeWindowSystem::DrawMenuBar(Window window) {
  world_.Record("WindowSystem::DrawMenuBar", {H(window)});
  return Find(window) != nullptr && !world_.Refuses("WindowSystem::DrawMenuBar");
}

bool FakeWindowSystem::RedrawWindow(Window window, const RECT* rect, uint32_t flags) {
  world_.Record("WindowSystem::RedrawWindow", {H(window), rect ? 1 : 0, flags});
  return Find(window) != nullptr && !world_.Refuses("WindowSystem::RedrawWindow");
}

}  // namespace nb::fake
