// A real OpenGL context drawing into a picture of its own, with no window on
// screen: the host's viewer picture and the drawing tests both use it.
// Mesa's off-screen library on Linux; on Windows a WGL context (on a hidden
// window, which WGL requires) drawing into a framebuffer object.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace standin {
namespace offscreen {

class OffscreenContext {
public:
  // Makes the context current on the calling thread until the object goes.
  // Throws std::runtime_error, saying why, when none can be had.
  OffscreenContext(int width, int height);
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // False only where OpenGL needs a display and the process has none (Wine
  // without an X display); a context that fails anyway is an error.
  static bool displayAvailable();

  int width() const { return width_; }
  int height() const { return height_; }

  // The color buffer, RGBA bytes, bottom row first as OpenGL numbers rows.
  std::vector<std::uint8_t> readPixels() const;

private:
  struct Platform;
  int width_;
  int height_;
  std::unique_ptr<Platform> platform_;
};

}  // namespace offscreen
}  // namespace standin
