// What OpenGL state drawing code leaves behind, read back from a current
// context, so that a test can compare before and after.
#pragma once

#include <standin/offscreen/OffscreenContext.h>

#if defined(_WIN32)
#  include <windows.h>
#endif
#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <vector>

namespace testsupport {

template <GLenum Query, std::size_t N>
std::array<GLfloat, N> glFloats() {
  std::array<GLfloat, N> values{};
  glGetFloatv(Query, values.data());
  return values;
}

GLint glInteger(GLenum query);

// Everything a stray call from drawing code could change.
struct GlState {
  std::array<GLfloat, 4> color;
  std::array<GLfloat, 4> rasterPosition;
  std::array<GLfloat, 4> rasterColor;
  GLint rasterValid;
  GLint matrixMode;
  GLint modelviewDepth;
  GLint projectionDepth;
  std::array<GLfloat, 16> modelview;
  std::array<GLfloat, 16> projection;
  std::vector<std::uint8_t> pixels;

  static GlState capture(const standin::offscreen::OffscreenContext& gl);
};

}  // namespace testsupport
