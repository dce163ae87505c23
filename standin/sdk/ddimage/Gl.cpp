// The SDK's drawing helpers: real OpenGL, and a record for tests.
#include <DDImage/gl.h>

#include <standin/ddimage/GlRecord.h>

#include "BitmapFont.h"
#include "OpenGL.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <stdexcept>

namespace standin {
namespace ddimage {

namespace {

struct Record {
  std::mutex mutex;
  std::vector<GlCall> calls;
  std::atomic<bool> textDrawingFails{false};
};

Record& record() {
  static Record instance;
  return instance;
}

void append(GlCall call) {
  Record& r = record();
  const std::lock_guard<std::mutex> lock(r.mutex);
  r.calls.push_back(std::move(call));
}

}  // namespace

std::vector<GlCall> glRecord() {
  Record& r = record();
  const std::lock_guard<std::mutex> lock(r.mutex);
  return r.calls;
}

void clearGlRecord() {
  Record& r = record();
  const std::lock_guard<std::mutex> lock(r.mutex);
  r.calls.clear();
}

void setTextDrawingFails(bool fails) {
  record().textDrawingFails.store(fails);
}

namespace {

bool textDrawingFails() {
  return record().textDrawingFails.load();
}

}  // namespace

}  // namespace ddimage
}  // namespace standin

namespace DD {
namespace Image {

void glColor(unsigned color) {
  standin::ddimage::append({"glColor", color, {}, 0});
  // The low byte is not used: colors are opaque.
  glColor4ub(static_cast<GLubyte>(color >> 24), static_cast<GLubyte>(color >> 16), static_cast<GLubyte>(color >> 8),
             255);
}

void gl_text(const char* text, int length) {
  standin::ddimage::append({"gl_text", 0, text != nullptr && length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string(), length});
  if (standin::ddimage::textDrawingFails()) {
    throw std::runtime_error("text drawing failed");
  }
  if (text != nullptr && length > 0) {
    standin::ddimage::drawBitmapText(text, length);
  }
}

}  // namespace Image
}  // namespace DD
