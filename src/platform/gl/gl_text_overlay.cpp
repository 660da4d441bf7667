// The text overlay. Depends on gl_text_overlay.h and OpenGL 3.3 core.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/gl/gl_text_overlay.h"

#include "platform/gl/gl_program.h"

#include <GL/glcorearb.h>

#include <algorithm>

namespace nb {
namespace {

// One quad over the viewport; the panel's row 0 lands on the viewport's lowest row, which
// in a frame texture (row 0 the top of the picture) is the panel's top.
const char* const overlayVertex = R"(#version 330 core
out vec2 coordinates;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
  coordinates = corner;
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const overlayFragment = R"(#version 330 core
uniform sampler2D panel;
in vec2 coordinates;
out vec4 result;
void main() {
  result = texture(panel, coordinates);
}
)";

}  // namespace

uint32_t TextPanelScale(uint32_t pictureHeight) { return std::max<uint32_t>(1, pictureHeight / 360); }

PanelPlace TextPanelPlace(const TextPanel& panel, uint32_t pictureHeight) {
  const uint32_t scale = TextPanelScale(pictureHeight);
  const auto margin = static_cast<int32_t>(4 * scale);
  PanelPlace place;
  place.width = panel.width * scale;
  place.height = panel.height * scale;
  place.left = margin;
  place.top = static_cast<int32_t>(pictureHeight) - margin - static_cast<int32_t>(place.height);
  return place;
}

bool GlTextOverlay::Build() {
  program_ = BuildGlProgram(nullptr, overlayVertex, overlayFragment);
  if (!program_) return false;
  glUseProgram(program_);
  glUniform1i(glGetUniformLocation(program_, "panel"), 0);
  glGenVertexArrays(1, &vertexArray_);
  glGenFramebuffers(1, &framebuffer_);
  glGenTextures(1, &panelTexture_);
  glBindTexture(GL_TEXTURE_2D, panelTexture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return glGetError() == GL_NO_ERROR;
}

void GlTextOverlay::Release() {
  if (program_) glDeleteProgram(program_);
  if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
  if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  if (panelTexture_) glDeleteTextures(1, &panelTexture_);
  program_ = vertexArray_ = framebuffer_ = panelTexture_ = 0;
  buildFailed_ = false;
  shown_.clear();
  panel_ = TextPanel{};
}

bool GlTextOverlay::Draw(uint32_t texture, uint32_t width, uint32_t height,
                         const std::vector<std::string>& lines) {
  if (width == 0 || height == 0 || buildFailed_) return false;
  ClearGlErrors();
  // A driver that cannot make them once will not on the next frame either: no shaders
  // compiled again and again, and nothing half made drawn with.
  if (!program_ && !Build()) {
    Release();
    buildFailed_ = true;
    return false;
  }
  glActiveTexture(GL_TEXTURE0);
  glBindSampler(0, 0);
  glBindTexture(GL_TEXTURE_2D, panelTexture_);
  if (lines != shown_ || panel_.width == 0) {
    panel_ = RenderTextPanel(lines);
    shown_ = lines;
    if (panel_.width == 0 || panel_.height == 0) return true;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(panel_.width),
                 static_cast<GLsizei>(panel_.height), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 panel_.rgba.data());
  }
  if (panel_.width == 0 || panel_.height == 0) return true;
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (complete) {
    const PanelPlace place = TextPanelPlace(panel_, height);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DITHER);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Framebuffer rows are the texture's rows: the panel's top row is place.top.
    glViewport(place.left, place.top, static_cast<GLsizei>(place.width),
               static_cast<GLsizei>(place.height));
    glUseProgram(program_);
    glBindVertexArray(vertexArray_);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisable(GL_BLEND);
  }
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return complete && glGetError() == GL_NO_ERROR;
}

}  // namespace nb
