// A real OpenGL context without a display, for tests that check what
// drawing code leaves in GL state and in the color buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// Mesa's off-screen renderer on Linux; elsewhere there is none and the
// object only says why. On success the context is current on the calling
// thread until the object goes.
class OffscreenContext {
public:
  OffscreenContext(int width, int height);
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // False where the platform has no off-screen GL at all: tests skip then.
  // Where it has one, a context that could not be made is a failure.
  static bool platformHasOne();

  bool current() const { return error_.empty(); }
  // Why there is no context; empty when there is one.
  const std::string& error() const { return error_; }

  int width() const { return width_; }
  int height() const { return height_; }

  // The color buffer through glReadPixels, RGBA bytes, bottom row first.
  std::vector<std::uint8_t> readPixels() const;

private:
  struct Impl;
  int width_;
  int height_;
  std::string error_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace testsupport
