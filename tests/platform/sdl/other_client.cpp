// Test support: what another X client may do to the program's windows. Kept apart from the
// tests because Xlib's macros (None, Bool, Status...) clash with the project's names.
#include "other_client.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace nb::test {

bool DestroyFromOtherClient(GtkWidget* window) {
  GdkWindow* native = window ? gtk_widget_get_window(window) : nullptr;
  if (!native || !GDK_IS_X11_WINDOW(native)) return false;
  Display* other = XOpenDisplay(nullptr);
  if (!other) return false;
  XDestroyWindow(other, gdk_x11_window_get_xid(native));
  XSync(other, False);
  XCloseDisplay(other);
  return true;
}

}  // namespace nb::test
