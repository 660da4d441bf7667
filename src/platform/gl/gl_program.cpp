#define GL_GLEXT_PROTOTYPES 1
#include "platform/gl/gl_program.h"

#include <GL/glcorearb.h>

namespace nb {
namespace {

GLuint CompileStage(GLenum type, const char* header, const char* source) {
  GLuint shader = glCreateShader(type);
  const char* parts[2] = {header ? header : "", source};
  glShaderSource(shader, 2, parts, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

uint32_t BuildGlProgram(const char* header, const char* vertexSource, const char* fragmentSource) {
  const GLuint vs = CompileStage(GL_VERTEX_SHADER, header, vertexSource);
  const GLuint fs = CompileStage(GL_FRAGMENT_SHADER, header, fragmentSource);
  GLuint program = 0;
  if (vs && fs) {
    program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
      glDeleteProgram(program);
      program = 0;
    }
  }
  // Deleting 0 is allowed; a linked program keeps its stages alive as long as it needs them.
  glDeleteShader(vs);
  glDeleteShader(fs);
  return program;
}

void ClearGlErrors() {
  while (glGetError() != GL_NO_ERROR) {
  }
}

}  // namespace nb
