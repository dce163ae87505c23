// Linux: EGL on Mesa's surfaceless platform, which needs no display, with a
// compatibility-profile context (the viewer draws in OpenGL 1.x) and a
// pbuffer of the picture's size. The GL calls themselves go through GLVND's
// libOpenGL to whichever context is current, as the plug-in's do in a host.
#include <standin/offscreen/OffscreenContext.h>

#include "PictureSize.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>

// Mesa keeps per-process driver state for as long as the display lives,
// which is the process; without this a leak-checking build reports Mesa's
// allocations rather than ours. Whole libraries, as Mesa has no frame
// pointers and the fast unwinder stops inside it.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libEGL_mesa.so\nleak:swrast_dri.so\nleak:libgallium\nleak:libLLVM\n";
}

namespace standin {
namespace offscreen {

namespace {

std::string eglErrorName(EGLint error) {
  switch (error) {
    case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
    case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
    case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
    case EGL_BAD_CURRENT_SURFACE: return "EGL_BAD_CURRENT_SURFACE";
    case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
    case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
    case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
    case EGL_BAD_SURFACE: return "EGL_BAD_SURFACE";
    default: return "EGL error " + std::to_string(error);
  }
}

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + " failed (" + eglErrorName(eglGetError()) + ")");
}

bool hasExtension(const char* extensions, const std::string& name) {
  if (extensions == nullptr) {
    return false;
  }
  const std::string all = std::string(" ") + extensions + " ";
  return all.find(" " + name + " ") != std::string::npos;
}

// One display for the process: initialising Mesa loads its driver, which is
// slow, and terminating a display other contexts may still use is unsafe.
// Nothing is kept when it fails, so a later attempt reports afresh.
EGLDisplay processDisplay() {
  static std::mutex mutex;
  static EGLDisplay display = EGL_NO_DISPLAY;
  const std::lock_guard<std::mutex> lock(mutex);
  if (display != EGL_NO_DISPLAY) {
    return display;
  }
  // llvmpipe rasterises on worker threads of its own unless told otherwise.
  // On the calling thread the same pixels come out, and runs under
  // ThreadSanitizer do not trip over Mesa's uninstrumented threads. Mesa
  // reads this when its driver loads; a value the user set is kept.
  setenv("LP_NUM_THREADS", "0", 0);
  if (!hasExtension(eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), "EGL_MESA_platform_surfaceless")) {
    throw std::runtime_error("EGL offers no surfaceless platform (EGL_MESA_platform_surfaceless); is Mesa's EGL installed?");
  }
  const EGLDisplay candidate = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (candidate == EGL_NO_DISPLAY) {
    fail("eglGetPlatformDisplay");
  }
  EGLint major = 0;
  EGLint minor = 0;
  if (eglInitialize(candidate, &major, &minor) != EGL_TRUE) {
    fail("eglInitialize");
  }
  display = candidate;
  return display;
}

}  // namespace

struct OffscreenContext::Platform {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLSurface surface = EGL_NO_SURFACE;
  EGLContext context = EGL_NO_CONTEXT;

  ~Platform() {
    if (display == EGL_NO_DISPLAY) {
      return;
    }
    // Never leave a destroyed context current.
    if (context != EGL_NO_CONTEXT && eglGetCurrentContext() == context) {
      eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (surface != EGL_NO_SURFACE) {
      eglDestroySurface(display, surface);
    }
    if (context != EGL_NO_CONTEXT) {
      eglDestroyContext(display, context);
    }
  }
};

OffscreenContext::OffscreenContext(int width, int height)
    : width_(width), height_(height), platform_(std::make_unique<Platform>()) {
  const std::string size = checkedPictureSize(width, height);
  Platform& p = *platform_;
  p.display = processDisplay();

  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                     EGL_NONE};
  EGLConfig config = nullptr;
  EGLint configs = 0;
  if (eglChooseConfig(p.display, configAttributes, &config, 1, &configs) != EGL_TRUE) {
    fail("eglChooseConfig");
  }
  if (configs < 1) {
    throw std::runtime_error("EGL has no RGBA8 pbuffer configuration for desktop OpenGL");
  }
  if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
    fail("eglBindAPI(EGL_OPENGL_API)");
  }
  const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                      EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  p.context = eglCreateContext(p.display, config, EGL_NO_CONTEXT, contextAttributes);
  if (p.context == EGL_NO_CONTEXT) {
    fail("eglCreateContext (compatibility profile)");
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  p.surface = eglCreatePbufferSurface(p.display, config, surfaceAttributes);
  if (p.surface == EGL_NO_SURFACE) {
    fail("eglCreatePbufferSurface of " + size + " pixels");
  }
  if (eglMakeCurrent(p.display, p.surface, p.surface, p.context) != EGL_TRUE) {
    fail("eglMakeCurrent of a " + size + " picture");
  }
}

OffscreenContext::~OffscreenContext() = default;

bool OffscreenContext::displayAvailable() {
  return true;
}

}  // namespace offscreen
}  // namespace standin
