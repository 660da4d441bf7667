// The preview run mode: the still picture of bitmap resource 400 stretched into a child
// window of the display panel's preview area, redrawn about ten times a second until that
// child window is destroyed.
// Depends on the window, GDI and system ports and on the plain window procedure. Starts
// no display, sound or show, and reads no settings.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace nb {

inline constexpr const char* previewClassName = "Class1";
inline constexpr uint32_t previewBitmapId = 400;
inline constexpr uint32_t PreviewRedrawMs = 100;  // redraw only when more has passed

// Runs the preview inside parent and returns when it ends. When no child window can be
// made (the parent does not exist) it returns at once: nothing could ever end it.
void Preview(Platform& platform, Window parent, Instance instance);

}  // namespace nb
