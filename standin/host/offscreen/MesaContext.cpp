// Linux: Mesa's off-screen library draws straight into memory we own.
#include <standin/offscreen/OffscreenContext.h>

#include <GL/osmesa.h>

#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>

// Mesa keeps per-process renderer state and a record per buffer ever made
// current, and frees neither, not even in OSMesaDestroyContext; without this
// a leak-checking build reports Mesa's allocations rather than ours. The
// whole library, as Mesa has no frame pointers and the fast unwinder stops
// inside it, before any entry point a narrower pattern could name.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libOSMesa.so\n";
}

namespace standin {
namespace offscreen {

namespace {

// llvmpipe rasterises on worker threads of its own unless told otherwise.
// On the calling thread the same pixels come out, and runs under
// ThreadSanitizer do not trip over Mesa's uninstrumented threads. Mesa reads
// this when its first context is made; a value the user set is kept.
void rasteriseOnCallingThread() {
  static std::once_flag once;
  std::call_once(once, [] { setenv("LP_NUM_THREADS", "0", 0); });
}

}  // namespace

struct OffscreenContext::Platform {
  OSMesaContext context = nullptr;
  // Mesa renders into this; it outlives the context's use.
  std::vector<GLubyte> buffer;

  ~Platform() {
    if (context == nullptr) {
      return;
    }
    // Never leave a destroyed context (and a freed buffer) current.
    if (OSMesaGetCurrentContext() == context) {
      OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    }
    OSMesaDestroyContext(context);
  }
};

OffscreenContext::OffscreenContext(int width, int height)
    : width_(width), height_(height), platform_(std::make_unique<Platform>()) {
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  if (width <= 0 || height <= 0) {
    throw std::runtime_error("no off-screen OpenGL picture of " + size + " pixels");
  }
  rasteriseOnCallingThread();
  platform_->buffer.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u, 0);
  platform_->context = OSMesaCreateContextExt(OSMESA_RGBA, 0, 0, 0, nullptr);
  if (platform_->context == nullptr) {
    throw std::runtime_error("cannot create an off-screen OpenGL context");
  }
  if (OSMesaMakeCurrent(platform_->context, platform_->buffer.data(), GL_UNSIGNED_BYTE, width, height) != GL_TRUE) {
    throw std::runtime_error("cannot draw into a " + size + " off-screen picture");
  }
}

OffscreenContext::~OffscreenContext() = default;

bool OffscreenContext::displayAvailable() {
  return true;
}

}  // namespace offscreen
}  // namespace standin
