#include <standin/offscreen/OffscreenContext.h>

#include "OpenGL.h"

namespace standin {
namespace offscreen {

std::vector<std::uint8_t> OffscreenContext::readPixels() const {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4u);
  // Rows packed tight whatever the drawing code left set.
  GLint savedAlignment = 4;
  GLint savedRowLength = 0;
  glGetIntegerv(GL_PACK_ALIGNMENT, &savedAlignment);
  glGetIntegerv(GL_PACK_ROW_LENGTH, &savedRowLength);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glFinish();
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, savedAlignment);
  glPixelStorei(GL_PACK_ROW_LENGTH, savedRowLength);
  return pixels;
}

}  // namespace offscreen
}  // namespace standin
