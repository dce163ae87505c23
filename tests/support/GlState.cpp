#include "support/GlState.h"

namespace testsupport {

GLint glInteger(GLenum query) {
  GLint value = 0;
  glGetIntegerv(query, &value);
  return value;
}

GlState GlState::capture(const standin::offscreen::OffscreenContext& gl) {
  return {glFloats<GL_CURRENT_COLOR, 4>(),
          glFloats<GL_CURRENT_RASTER_POSITION, 4>(),
          glFloats<GL_CURRENT_RASTER_COLOR, 4>(),
          glInteger(GL_CURRENT_RASTER_POSITION_VALID),
          glInteger(GL_MATRIX_MODE),
          glInteger(GL_MODELVIEW_STACK_DEPTH),
          glInteger(GL_PROJECTION_STACK_DEPTH),
          glFloats<GL_MODELVIEW_MATRIX, 16>(),
          glFloats<GL_PROJECTION_MATRIX, 16>(),
          gl.readPixels()};
}

}  // namespace testsupport
