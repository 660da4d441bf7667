// The program's resources as the system port hands them out on Linux: the files embedded in
// the program, and its bitmaps as DIBs of the memory GDI.
#pragma once

#include <cstdint>

#include "platform/gl/memory_gdi.h"
#include "platform/system.h"

namespace nb {

// The embedded resource of that type and number; {nullptr, 0} when there is none.
ResourceData EmbeddedResourceData(const char* type, uint32_t id);

// Embedded BITMAP id as a DIB of gdi; NoBitmap when there is none or it is not a 24-bit BMP.
Bitmap LoadEmbeddedBitmap(MemoryGdi& gdi, uint32_t id);

}  // namespace nb
