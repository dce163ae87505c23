#include "lumoxindirect/OffscreenContext.h"

#if !defined(_WIN32)
#  include <GL/osmesa.h>

// Mesa keeps per-process renderer state and a record per buffer ever made
// current, and frees neither, not even in OSMesaDestroyContext; without this
// the leak-checking build fails on Mesa's allocations rather than ours. The
// whole library, as Mesa has no frame pointers and the fast unwinder stops
// inside it, before any entry point a narrower pattern could name.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libOSMesa.so\n";
}
#endif

namespace testsupport {

#if defined(_WIN32)

// opengl32 can only make a context for a window's device context.
struct OffscreenContext::Impl {};

OffscreenContext::OffscreenContext(int width, int height)
    : width_(width), height_(height), error_("no off-screen OpenGL on this platform") {}

OffscreenContext::~OffscreenContext() = default;

bool OffscreenContext::platformHasOne() {
  return false;
}

std::vector<std::uint8_t> OffscreenContext::readPixels() const {
  return {};
}

#else

struct OffscreenContext::Impl {
  OSMesaContext context = nullptr;
  // Mesa renders straight into this; it must outlive the context's use.
  std::vector<GLubyte> buffer;
};

OffscreenContext::OffscreenContext(int width, int height)
    : width_(width), height_(height), impl_(std::make_unique<Impl>()) {
  if (width <= 0 || height <= 0) {
    error_ = "off-screen context of " + std::to_string(width) + "x" + std::to_string(height) + " pixels";
    return;
  }
  impl_->buffer.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u, 0);
  impl_->context = OSMesaCreateContextExt(OSMESA_RGBA, 0, 0, 0, nullptr);
  if (impl_->context == nullptr) {
    error_ = "OSMesaCreateContextExt failed";
    return;
  }
  if (OSMesaMakeCurrent(impl_->context, impl_->buffer.data(), GL_UNSIGNED_BYTE, width, height) != GL_TRUE) {
    error_ = "OSMesaMakeCurrent failed for " + std::to_string(width) + "x" + std::to_string(height);
  }
}

OffscreenContext::~OffscreenContext() {
  if (impl_->context == nullptr) {
    return;
  }
  // Never leave a destroyed context (and a freed buffer) current.
  if (OSMesaGetCurrentContext() == impl_->context) {
    OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
  }
  OSMesaDestroyContext(impl_->context);
}

bool OffscreenContext::platformHasOne() {
  return true;
}

std::vector<std::uint8_t> OffscreenContext::readPixels() const {
  if (!current()) {
    return {};
  }
  std::vector<std::uint8_t> pixels(impl_->buffer.size());
  GLint savedAlignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &savedAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, savedAlignment);
  return pixels;
}

#endif

}  // namespace testsupport
