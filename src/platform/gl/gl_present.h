// Showing finished frames on a screen: where a frame of the display mode's size lands in a
// window of another size (scaled with its aspect kept, black bars beside or above and
// below), drawing a frame texture there in the window's own GL context, and reading a
// frame texture back for a screen that is not drawn with GL.
// Depends on the standard library in this header; OpenGL 3.3 core in the .cpp. The GL
// parts run in whatever context is current.
#pragma once

#include <cstdint>
#include <vector>

namespace nb {

struct LetterboxRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The largest rectangle of the source's aspect that fits the destination, centred; empty
// when either size is zero. Nearest-neighbour scaling into it keeps every colour the
// frame holds (the steps of a 16-bit frame stay visible).
LetterboxRect Letterbox(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t targetWidth,
                        uint32_t targetHeight);

// Draws frame textures into the default framebuffer of the current context: black around
// the letterbox rectangle, the texture inside it, nearest-neighbour. Its program and
// vertex array belong to the context current at the first Draw; the owner calls Release
// in that context (the destructor touches no GL: the context may be gone by then).
class GlFrameBlitter {
 public:
  GlFrameBlitter() = default;
  GlFrameBlitter(const GlFrameBlitter&) = delete;
  GlFrameBlitter& operator=(const GlFrameBlitter&) = delete;

  // texture: width x height, row 0 the top row. targetWidth x targetHeight: the drawable.
  // False when the program cannot be built (at once, after it failed once, until Release).
  bool Draw(uint32_t texture, uint32_t width, uint32_t height, uint32_t targetWidth,
            uint32_t targetHeight);
  // Deletes the GL objects (in the current context).
  void Release();

 private:
  uint32_t program_ = 0;
  uint32_t vertexArray_ = 0;
  bool buildFailed_ = false;
};

// Reads a width x height texture of the current context as 8-bit BGRA, top row first
// (what a 16-bit texture holds comes back widened by the GL's conversion). False when GL
// reports an error.
bool ReadTextureBgra(uint32_t texture, uint32_t width, uint32_t height,
                     std::vector<uint8_t>* out);

}  // namespace nb
