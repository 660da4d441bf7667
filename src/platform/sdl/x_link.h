// The program's own connection to the X server, for what SDL does not do: windows of other
// programs (the preview's parent, the window of --window-id / --root) and the child windows
// the program draws in inside them. It creates a child that covers its host, keeps it the
// host's size, and reports when the host or the child goes; it also reports when another
// program destroys one of the program's own windows. It also installs the error
// handler that keeps a window vanishing under the program from ending it: X reports
// requests on a destroyed window as errors, and Xlib's default handler would exit.
// Depends on Xlib in the .cpp; window numbers are plain integers here.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/handles.h"

namespace nb {

struct XChange {
  enum Kind { Resized, Gone };
  Kind kind;
  uint64_t window;  // the child that is affected
  int32_t width;    // Resized: the host's new size
  int32_t height;
};

class XLink {
 public:
  // Null when no X display can be opened.
  static std::unique_ptr<XLink> Open();
  ~XLink();
  XLink(const XLink&) = delete;
  XLink& operator=(const XLink&) = delete;

  uint64_t RootWindowId() const;
  // Whether window exists now (errors caught, never reported).
  bool Exists(uint64_t window);
  // The window's rectangle in root coordinates; false when it does not exist.
  bool WindowRect(uint64_t window, RECT* out);
  // A black child of host at (0, 0) of the given size (host's size when 0), mapped, and
  // watched: Poll reports when the host is resized or the host or child goes. 0 when host
  // does not exist.
  uint64_t CreateChild(uint64_t host, int32_t width, int32_t height);
  // Destroys a child of CreateChild (nothing when it is already gone) and stops watching.
  void DestroyChild(uint64_t child);
  // Watches a window the program made by other means (SDL's): Poll reports when someone
  // else destroys it. Unwatch before destroying it oneself.
  void Watch(uint64_t window);
  void Unwatch(uint64_t window);
  // Resizes a child (nothing when it is gone).
  void ResizeChild(uint64_t child, int32_t width, int32_t height);
  // What happened to the watched windows since the last call; a child whose host was
  // resized is resized to match before this returns.
  std::vector<XChange> Poll();
  // Where the pointer is now, in root coordinates; false when it is on another screen.
  bool PointerPosition(int32_t* x, int32_t* y);

 private:
  struct Watched;
  explicit XLink(void* display);
  void* display_;  // Display*
  std::vector<std::unique_ptr<Watched>> watches_;
};

// Installs an X error handler for the whole process: errors about windows and drawables
// that no longer exist are counted silently (they come from windows that vanished under
// the program); any other error is reported on the error stream once per kind, and never
// ends the program. A lost connection to the server ends it with exit code 1 and one line
// on the error stream. Call after SDL has set up its video, and again after GTK started.
void InstallXErrorHandler();

}  // namespace nb
