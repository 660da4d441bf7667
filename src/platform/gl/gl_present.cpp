// Letterboxing, the frame blitter and the frame read-back. Depends on gl_present.h and
// OpenGL 3.3 core.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/gl/gl_present.h"

#include "platform/gl/gl_program.h"

#include <GL/glcorearb.h>

#include <algorithm>

namespace nb {
namespace {

// One triangle strip covering the viewport, made from the vertex number alone; texture row
// 0 is the top of the picture while GL's row 0 is the bottom, hence the turned-over v.
const char* const blitVertex = R"(#version 330 core
out vec2 coordinates;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
  coordinates = vec2(corner.x, 1.0 - corner.y);
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const blitFragment = R"(#version 330 core
uniform sampler2D frame;
in vec2 coordinates;
out vec4 result;
void main() {
  result = vec4(texture(frame, coordinates).rgb, 1.0);
}
)";

}  // namespace

LetterboxRect Letterbox(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t targetWidth,
                        uint32_t targetHeight) {
  LetterboxRect r;
  if (sourceWidth == 0 || sourceHeight == 0 || targetWidth == 0 || targetHeight == 0) return r;
  // Compare target aspect with source aspect in integers: which side limits the scale.
  const uint64_t byWidth = uint64_t{targetWidth} * sourceHeight;
  const uint64_t byHeight = uint64_t{targetHeight} * sourceWidth;
  uint64_t width = targetWidth;
  uint64_t height = targetHeight;
  if (byWidth > byHeight) {
    width = (uint64_t{targetHeight} * sourceWidth + sourceHeight / 2) / sourceHeight;
  } else if (byWidth < byHeight) {
    height = (uint64_t{targetWidth} * sourceHeight + sourceWidth / 2) / sourceWidth;
  }
  width = std::clamp<uint64_t>(width, 1, targetWidth);
  height = std::clamp<uint64_t>(height, 1, targetHeight);
  r.width = static_cast<int32_t>(width);
  r.height = static_cast<int32_t>(height);
  r.x = static_cast<int32_t>((targetWidth - width) / 2);
  r.y = static_cast<int32_t>((targetHeight - height) / 2);
  return r;
}

void GlFrameBlitter::Release() {
  if (program_) glDeleteProgram(program_);
  if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
  program_ = 0;
  vertexArray_ = 0;
  buildFailed_ = false;
}

bool GlFrameBlitter::Draw(uint32_t texture, uint32_t width, uint32_t height,
                          uint32_t targetWidth, uint32_t targetHeight) {
  if (buildFailed_) return false;
  // Judged by the error flags at the end: those the device's drawing left are not ours.
  ClearGlErrors();
  if (!program_) {
    program_ = BuildGlProgram(nullptr, blitVertex, blitFragment);
    buildFailed_ = !program_;
    if (!program_) return false;
    glGenVertexArrays(1, &vertexArray_);
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, "frame"), 0);
  }
  // The device leaves its own states behind; none of them may touch this copy.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_DITHER);
  glViewport(0, 0, static_cast<GLsizei>(targetWidth), static_cast<GLsizei>(targetHeight));
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  const LetterboxRect r = Letterbox(width, height, targetWidth, targetHeight);
  if (r.width == 0) return true;
  // GL counts rows from the bottom; the letterbox is symmetric, so only y flips.
  glViewport(r.x, static_cast<GLint>(targetHeight) - r.y - r.height, r.width, r.height);
  glUseProgram(program_);
  glActiveTexture(GL_TEXTURE0);
  glBindSampler(0, 0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glBindVertexArray(vertexArray_);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  return glGetError() == GL_NO_ERROR;
}

bool ReadTextureBgra(uint32_t texture, uint32_t width, uint32_t height,
                     std::vector<uint8_t>* out) {
  if (!out || width == 0 || height == 0) return false;
  ClearGlErrors();
  out->resize(static_cast<size_t>(width) * height * 4);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, out->data());
  return glGetError() == GL_NO_ERROR;
}

}  // namespace nb
