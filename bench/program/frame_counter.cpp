// nightbloom-frame-counter SECONDS: the frames any program puts on an X display in SECONDS
// seconds, counted alike for every program (the benchmark scripts compare Nightbloom with
// other screensavers this way): the DAMAGE extension reports when the screen changes, each
// report is taken off at once, and a change after at least 2 ms without one starts a new
// frame, so a frame drawn in several requests counts once. Prints
// "frames=N seconds=S per_second=F". Exit 2 without a display or the extension.
// Depends on Xlib and libXdamage. Benchmark support only.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <sys/select.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc == 2 ? std::atof(argv[1]) : 0.0;
  if (seconds <= 0.0) {
    std::fprintf(stderr, "usage: nightbloom-frame-counter SECONDS\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "nightbloom-frame-counter: no X display\n");
    return 2;
  }
  int eventBase = 0;
  int errorBase = 0;
  if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
    std::fprintf(stderr, "nightbloom-frame-counter: the X server has no DAMAGE extension\n");
    return 2;
  }
  const Damage damage =
      XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty);
  XSync(display, False);
  const double gap = 0.002;
  const double start = Now();
  const double end = start + seconds;
  double lastChange = -1.0;
  long frames = 0;
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != eventBase + XDamageNotify) continue;
      XDamageSubtract(display, damage, None, None);
      const double now = Now();
      if (now < end && (lastChange < 0 || now - lastChange >= gap)) ++frames;
      lastChange = now;
    }
    XFlush(display);
    const double left = end - Now();
    if (left <= 0) break;
    const int fd = ConnectionNumber(display);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    timeval wait{static_cast<time_t>(left), static_cast<suseconds_t>((left - static_cast<long>(left)) * 1e6)};
    select(fd + 1, &readable, nullptr, nullptr, &wait);
  }
  const double took = Now() - start;
  std::printf("frames=%ld seconds=%.2f per_second=%.1f\n", frames, took, frames / took);
  XDamageDestroy(display, damage);
  XCloseDisplay(display);
  return 0;
}
