// nb-x-probe: the end-to-end tests' eyes and hands on an X display.
//   nb-x-probe host W H          a top-level window of another program: prints its number,
//                                then obeys "resize W H", "destroy" and "quit" on stdin
//   nb-x-probe stats TARGET      what a window (or "root") shows, as key=value lines
//   nb-x-probe shot TARGET FILE  the same pixels as a PNG file
//   nb-x-probe children TARGET   the child windows: "0xID WIDTH HEIGHT X Y" per line
//   nb-x-probe close TARGET      asks the window to close, as a close box does
// Depends on Xlib and the PNG writer of the render support. Test support only.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "render_support.h"

namespace {

int Fail(const std::string& why) {
  std::fprintf(stderr, "nb-x-probe: %s\n", why.c_str());
  return 2;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

bool Target(Display* display, const char* text, ::Window* out) {
  if (std::strcmp(text, "root") == 0) {
    *out = DefaultRootWindow(display);
    return true;
  }
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 0);
  if (!end || *end || value == 0) return false;
  *out = value;
  return true;
}

// The window's pixels as 8-bit RGB, top row first.
bool Grab(Display* display, ::Window window, std::vector<uint8_t>* rgb, int* width, int* height) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return false;
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (!image) return false;
  *width = attributes.width;
  *height = attributes.height;
  rgb->resize(static_cast<size_t>(*width) * *height * 3);
  auto channel = [](unsigned long pixel, unsigned long mask) {
    if (!mask) return 0u;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const unsigned long bits = mask >> shift;
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<unsigned>(value * 255 / bits);
  };
  for (int y = 0; y < *height; ++y) {
    for (int x = 0; x < *width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      uint8_t* p = rgb->data() + (static_cast<size_t>(y) * *width + x) * 3;
      p[0] = static_cast<uint8_t>(channel(pixel, image->red_mask));
      p[1] = static_cast<uint8_t>(channel(pixel, image->green_mask));
      p[2] = static_cast<uint8_t>(channel(pixel, image->blue_mask));
    }
  }
  XDestroyImage(image);
  return true;
}

int Stats(Display* display, ::Window window) {
  std::vector<uint8_t> rgb;
  int width = 0;
  int height = 0;
  if (!Grab(display, window, &rgb, &width, &height)) return Fail("cannot read the window");
  auto lit = [&](int x, int y) {
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
    return p[0] | p[1] | p[2];
  };
  long count = 0;
  uint32_t hash = 2166136261u;  // FNV-1a of every byte: tells one picture from the next
  for (uint8_t byte : rgb) hash = (hash ^ byte) * 16777619u;
  int x0 = width, y0 = height, x1 = -1, y1 = -1;
  std::set<int> reds, greens, blues;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!lit(x, y)) continue;
      ++count;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
      const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
      reds.insert(p[0]);
      greens.insert(p[1]);
      blues.insert(p[2]);
    }
  }
  std::printf("width=%d\nheight=%d\nlit=%ld\nhash=%u\n", width, height, count, hash);
  std::printf("lit_left=%d\nlit_top=%d\nlit_right=%d\nlit_bottom=%d\n", x0, y0, x1, y1);
  std::printf("distinct_red=%zu\ndistinct_green=%zu\ndistinct_blue=%zu\n", reds.size(),
              greens.size(), blues.size());
  return 0;
}

int Host(Display* display, int width, int height) {
  const int screen = DefaultScreen(display);
  ::Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 20, 20,
                                        static_cast<unsigned>(width), static_cast<unsigned>(height),
                                        0, BlackPixel(display, screen), BlackPixel(display, screen));
  XStoreName(display, window, "nb-x-probe host");
  XMapWindow(display, window);
  XSync(display, False);
  std::printf("0x%lx\n", window);
  std::fflush(stdout);
  char buffer[256];
  while (std::fgets(buffer, sizeof(buffer), stdin)) {
    int w = 0;
    int h = 0;
    if (std::sscanf(buffer, "resize %d %d", &w, &h) == 2) {
      XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
    } else if (std::strncmp(buffer, "destroy", 7) == 0) {
      XDestroyWindow(display, window);
    } else if (std::strncmp(buffer, "quit", 4) == 0) {
      break;
    }
    XSync(display, False);
    std::printf("ok\n");
    std::fflush(stdout);
  }
  return 0;
}

int Run(Display* display, int argc, char** argv) {
  const std::string command = argv[1];
  ::Window window = 0;
  if (command == "host" && argc == 4) return Host(display, std::atoi(argv[2]), std::atoi(argv[3]));
  if (argc < 3 || !Target(display, argv[2], &window)) return Fail("no such window");
  if (command == "stats") return Stats(display, window);
  if (command == "shot" && argc == 4) {
    std::vector<uint8_t> rgb;
    int width = 0;
    int height = 0;
    if (!Grab(display, window, &rgb, &width, &height)) return Fail("cannot read the window");
    std::string error;
    if (!nb::WritePng(argv[3], rgb, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                      &error)) {
      return Fail(error);
    }
    return 0;
  }
  if (command == "children") {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return Fail("no such window");
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(display, children[i], &a)) {
        std::printf("0x%lx %d %d %d %d\n", children[i], a.width, a.height, a.x, a.y);
      }
    }
    if (children) XFree(children);
    return 0;
  }
  if (command == "close") {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
  }
  return Fail("unknown command '" + command + "'");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("usage: nb-x-probe host|stats|shot|children|close ...");
  Display* display = XOpenDisplay(nullptr);
  if (!display) return Fail("no X display");
  XSetErrorHandler(IgnoreErrors);
  const int code = Run(display, argc, argv);
  XCloseDisplay(display);
  return code;
}
