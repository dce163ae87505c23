// An EGL library found before the system's (it is built as libEGL.so.1 in a
// folder of its own, for LD_LIBRARY_PATH) that passes every call on to the
// system's, except the one LUMOX_TEST_EGL_FAULT names: there it first prints
// LUMOX_TEST_EGL_SAYS, as a driver's own words, then faults as
// LUMOX_TEST_EGL_FAULT_BY says: "segv" (the default), "abort" or "exit"
// (status 3). A driver that fails in any of these ways must end only the
// drawing, never the host.
#include <EGL/egl.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void* systemEgl() {
  static void* const handle = [] {
    void* opened = dlopen(LUMOX_SYSTEM_EGL, RTLD_NOW | RTLD_LOCAL);
    if (opened == nullptr) {
      std::fprintf(stderr, "faulty EGL: cannot open %s: %s\n", LUMOX_SYSTEM_EGL, dlerror());
      std::abort();
    }
    return opened;
  }();
  return handle;
}

template <class Function>
Function systemCall(const char* name) {
  void* const found = dlsym(systemEgl(), name);
  if (found == nullptr) {
    std::fprintf(stderr, "faulty EGL: the system's EGL lacks %s\n", name);
    std::abort();
  }
  Function function = nullptr;
  static_assert(sizeof function == sizeof found, "function pointers of one size");
  std::memcpy(&function, &found, sizeof function);
  return function;
}

// Unchecked by the sanitizers, which would otherwise report the fault and
// exit rather than let it happen.
__attribute__((no_sanitize("undefined"))) void faultAt(const char* call) {
  const char* chosen = std::getenv("LUMOX_TEST_EGL_FAULT");
  if (chosen == nullptr || std::strcmp(chosen, call) != 0) {
    return;
  }
  if (const char* says = std::getenv("LUMOX_TEST_EGL_SAYS")) {
    std::fputs(says, stderr);
    std::fflush(stderr);
  }
  const char* how = std::getenv("LUMOX_TEST_EGL_FAULT_BY");
  const std::string by = how != nullptr ? how : "segv";
  if (by == "abort") {
    std::abort();
  }
  if (by == "exit") {
    std::exit(3);
  }
  // A write through a null pointer, as a driver's bug would make; the
  // pointer is volatile so that the compiler cannot see it is null.
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
}

}  // namespace

// The call's body: LUMOX_FORWARD(name)(arguments).
#define LUMOX_FORWARD(name)                                       \
  faultAt(#name);                                                 \
  static const auto call = systemCall<decltype(&::name)>(#name); \
  return call

// The project builds with hidden visibility; these are the library's face.
#define LUMOX_EXPORT __attribute__((visibility("default")))

extern "C" {

LUMOX_EXPORT const char* eglQueryString(EGLDisplay display, EGLint name) {
  LUMOX_FORWARD(eglQueryString)(display, name);
}
LUMOX_EXPORT EGLDisplay eglGetPlatformDisplay(EGLenum platform, void* nativeDisplay, const EGLAttrib* attributes) {
  LUMOX_FORWARD(eglGetPlatformDisplay)(platform, nativeDisplay, attributes);
}
LUMOX_EXPORT EGLBoolean eglInitialize(EGLDisplay display, EGLint* major, EGLint* minor) {
  LUMOX_FORWARD(eglInitialize)(display, major, minor);
}
LUMOX_EXPORT EGLint eglGetError() {
  LUMOX_FORWARD(eglGetError)();
}
LUMOX_EXPORT EGLBoolean eglChooseConfig(EGLDisplay display, const EGLint* attributes, EGLConfig* configs, EGLint size,
                           EGLint* count) {
  LUMOX_FORWARD(eglChooseConfig)(display, attributes, configs, size, count);
}
LUMOX_EXPORT EGLBoolean eglBindAPI(EGLenum api) {
  LUMOX_FORWARD(eglBindAPI)(api);
}
LUMOX_EXPORT EGLContext eglCreateContext(EGLDisplay display, EGLConfig config, EGLContext share, const EGLint* attributes) {
  LUMOX_FORWARD(eglCreateContext)(display, config, share, attributes);
}
LUMOX_EXPORT EGLSurface eglCreatePbufferSurface(EGLDisplay display, EGLConfig config, const EGLint* attributes) {
  LUMOX_FORWARD(eglCreatePbufferSurface)(display, config, attributes);
}
LUMOX_EXPORT EGLBoolean eglMakeCurrent(EGLDisplay display, EGLSurface draw, EGLSurface read, EGLContext context) {
  LUMOX_FORWARD(eglMakeCurrent)(display, draw, read, context);
}
LUMOX_EXPORT EGLContext eglGetCurrentContext() {
  LUMOX_FORWARD(eglGetCurrentContext)();
}
LUMOX_EXPORT EGLBoolean eglDestroySurface(EGLDisplay display, EGLSurface surface) {
  LUMOX_FORWARD(eglDestroySurface)(display, surface);
}
LUMOX_EXPORT EGLBoolean eglDestroyContext(EGLDisplay display, EGLContext context) {
  LUMOX_FORWARD(eglDestroyContext)(display, context);
}
LUMOX_EXPORT EGLBoolean eglTerminate(EGLDisplay display) {
  LUMOX_FORWARD(eglTerminate)(display);
}
LUMOX_EXPORT __eglMustCastToProperFunctionPointerType eglGetProcAddress(const char* name) {
  LUMOX_FORWARD(eglGetProcAddress)(name);
}

}  // extern "C"
