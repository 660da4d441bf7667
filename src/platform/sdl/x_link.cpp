// The own X connection and the X error handler. Depends on x_link.h and Xlib.
#include "platform/sdl/x_link.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <cstdio>
#include <set>

namespace nb {
namespace {

// Set while a request's own errors are expected (Exists, WindowRect): they are the answer.
bool quietErrors = false;
bool anyError = false;
std::set<int> reportedKinds;

// Errors that a window destroyed under the program causes: requests on the window itself, and
// the freeing of a graphics context whose creation on the vanished window already failed
// (SDL and Mesa free what they created without knowing the creation failed).
bool FromVanishedWindow(const XErrorEvent* event) {
  return event->error_code == BadWindow || event->error_code == BadDrawable ||
         (event->error_code == BadGC && event->request_code == X_FreeGC);
}

int OnXError(Display* display, XErrorEvent* event) {
  anyError = true;
  if (quietErrors || FromVanishedWindow(event)) return 0;
  const int kind = event->error_code << 8 | event->request_code;
  if (reportedKinds.insert(kind).second) {
    char text[128] = "";
    XGetErrorText(display, event->error_code, text, sizeof(text));
    std::fprintf(stderr, "nightbloom: X error '%s' (request %d.%d) ignored\n", text,
                 event->request_code, event->minor_code);
  }
  return 0;
}

Display* D(void* display) { return static_cast<Display*>(display); }

}  // namespace

struct XLink::Watched {
  ::Window host;
  ::Window child;
};

void InstallXErrorHandler() { XSetErrorHandler(OnXError); }


std::unique_ptr<XLink> XLink::Open() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  return std::unique_ptr<XLink>(new XLink(display));
}

XLink::XLink(void* display) : display_(display) {}

XLink::~XLink() {
  for (const auto& watch : watches_) {
    quietErrors = true;
    XDestroyWindow(D(display_), watch->child);
    XSync(D(display_), False);
    quietErrors = false;
  }
  XCloseDisplay(D(display_));
}

uint64_t XLink::RootWindowId() const { return DefaultRootWindow(D(display_)); }

bool XLink::PointerPosition(int32_t* x, int32_t* y) {
  ::Window root = 0;
  ::Window child = 0;
  int rootX = 0;
  int rootY = 0;
  int windowX = 0;
  int windowY = 0;
  unsigned mask = 0;
  if (!XQueryPointer(D(display_), DefaultRootWindow(D(display_)), &root, &child, &rootX, &rootY,
                     &windowX, &windowY, &mask)) {
    return false;
  }
  *x = rootX;
  *y = rootY;
  return true;
}

bool XLink::Exists(uint64_t window) {
  XWindowAttributes attributes;
  XSync(D(display_), False);
  quietErrors = true;
  anyError = false;
  const Status status = XGetWindowAttributes(D(display_), static_cast<::Window>(window), &attributes);
  XSync(D(display_), False);
  quietErrors = false;
  return status != 0 && !anyError;
}

bool XLink::WindowRect(uint64_t window, RECT* out) {
  XWindowAttributes attributes;
  XSync(D(display_), False);
  quietErrors = true;
  anyError = false;
  Status status = XGetWindowAttributes(D(display_), static_cast<::Window>(window), &attributes);
  int x = 0;
  int y = 0;
  ::Window unused = 0;
  if (status) {
    status = XTranslateCoordinates(D(display_), static_cast<::Window>(window),
                                   attributes.root, 0, 0, &x, &y, &unused);
  }
  XSync(D(display_), False);
  quietErrors = false;
  if (!status || anyError) return false;
  if (out) *out = RECT{x, y, x + attributes.width, y + attributes.height};
  return true;
}

uint64_t XLink::CreateChild(uint64_t host, int32_t width, int32_t height) {
  RECT rect{};
  if (!WindowRect(host, &rect)) return 0;
  if (width <= 0) width = rect.right - rect.left;
  if (height <= 0) height = rect.bottom - rect.top;
  if (width <= 0) width = 1;
  if (height <= 0) height = 1;
  Display* display = D(display_);
  const auto hostWindow = static_cast<::Window>(host);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
  attributes.event_mask = StructureNotifyMask;
  // A child of the root is a top-level window: no window manager may frame or move it.
  attributes.override_redirect = hostWindow == DefaultRootWindow(display) ? True : False;
  quietErrors = true;
  anyError = false;
  const ::Window child = XCreateWindow(
      display, hostWindow, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
      CopyFromParent, InputOutput, CopyFromParent,
      CWBackPixel | CWEventMask | CWOverrideRedirect, &attributes);
  // Sizes and the end of the host: other clients may watch a window's structure too.
  XSelectInput(display, hostWindow, StructureNotifyMask);
  XMapWindow(display, child);
  XSync(display, False);
  quietErrors = false;
  if (anyError) {
    quietErrors = true;
    XDestroyWindow(display, child);
    XSync(display, False);
    quietErrors = false;
    return 0;
  }
  watches_.push_back(std::make_unique<Watched>(Watched{hostWindow, child}));
  return child;
}

void XLink::DestroyChild(uint64_t child) {
  for (auto it = watches_.begin(); it != watches_.end(); ++it) {
    if ((*it)->child != child) continue;
    quietErrors = true;
    XDestroyWindow(D(display_), (*it)->child);
    XSync(D(display_), False);
    quietErrors = false;
    watches_.erase(it);
    return;
  }
}

void XLink::Watch(uint64_t window) {
  quietErrors = true;
  XSelectInput(D(display_), static_cast<::Window>(window), StructureNotifyMask);
  XSync(D(display_), False);
  quietErrors = false;
  watches_.push_back(std::make_unique<Watched>(Watched{0, static_cast<::Window>(window)}));
}

void XLink::Unwatch(uint64_t window) {
  for (auto it = watches_.begin(); it != watches_.end(); ++it) {
    if ((*it)->host == 0 && (*it)->child == window) {
      watches_.erase(it);
      return;
    }
  }
}

void XLink::ResizeChild(uint64_t child, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return;
  quietErrors = true;
  XResizeWindow(D(display_), static_cast<::Window>(child), static_cast<unsigned>(width),
                static_cast<unsigned>(height));
  XSync(D(display_), False);
  quietErrors = false;
}

std::vector<XChange> XLink::Poll() {
  std::vector<XChange> changes;
  Display* display = D(display_);
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    for (auto it = watches_.begin(); it != watches_.end(); ++it) {
      Watched& watch = **it;
      if (event.type == ConfigureNotify && watch.host && event.xconfigure.window == watch.host) {
        ResizeChild(watch.child, event.xconfigure.width, event.xconfigure.height);
        changes.push_back({XChange::Resized, watch.child, event.xconfigure.width,
                           event.xconfigure.height});
      } else if (event.type == DestroyNotify &&
                 ((watch.host && event.xdestroywindow.window == watch.host) ||
                  event.xdestroywindow.window == watch.child)) {
        changes.push_back({XChange::Gone, watch.child, 0, 0});
        watches_.erase(it);
        break;
      }
    }
  }
  return changes;
}

}  // namespace nb
