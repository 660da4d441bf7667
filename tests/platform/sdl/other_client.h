// Test support: another X client's hands on the program's windows.
// Depends on GTK 3 on X11.
#pragma once

#include <gtk/gtk.h>

namespace nb::test {

// Destroys the X window of a realized GTK window from a connection of its own, as another
// program can; false when there is no such window or no display.
bool DestroyFromOtherClient(GtkWidget* window);

}  // namespace nb::test
