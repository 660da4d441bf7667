// Builds an OpenGL shader program from the sources of its two stages, for the GL device's
// own drawing, the frame blit to a window and the text overlay, and clears the error flags
// before work that judges itself by them. Call with the context current. Internal to
// src/platform/gl.
#pragma once

#include <cstdint>

namespace nb {

// The linked program, or 0 when a stage does not compile or the program does not link
// (nothing is left behind then). header (may be null) is put before both sources.
uint32_t BuildGlProgram(const char* header, const char* vertexSource, const char* fragmentSource);

// Clears every error flag the context has set so far, so that a glGetError after the next
// calls reports only theirs (the device's drawing does not read its own errors).
void ClearGlErrors();

}  // namespace nb
