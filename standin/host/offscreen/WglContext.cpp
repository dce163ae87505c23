// Windows: WGL needs a window's device context to make a context current,
// but a window that is never shown has no pixels worth reading, and a shown
// one is clipped by the screen. So the window stays hidden and everything is
// drawn into a framebuffer object of the wanted size.
#include <standin/offscreen/OffscreenContext.h>

#include "OpenGL.h"
#include "PictureSize.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <cstring>

namespace standin {
namespace offscreen {

namespace {

// From glext.h, which mingw-w64's GL headers do not all carry.
constexpr GLenum kFramebuffer = 0x8D40;
constexpr GLenum kRenderbuffer = 0x8D41;
constexpr GLenum kColorAttachment0 = 0x8CE0;
constexpr GLenum kFramebufferComplete = 0x8CD5;
constexpr GLenum kMaxRenderbufferSize = 0x84E8;

using GenObjects = void(APIENTRY*)(GLsizei, GLuint*);
using DeleteObjects = void(APIENTRY*)(GLsizei, const GLuint*);
using BindObject = void(APIENTRY*)(GLenum, GLuint);
using RenderbufferStorage = void(APIENTRY*)(GLenum, GLenum, GLsizei, GLsizei);
using FramebufferRenderbuffer = void(APIENTRY*)(GLenum, GLenum, GLenum, GLuint);
using CheckFramebufferStatus = GLenum(APIENTRY*)(GLenum);

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error("no off-screen OpenGL: " + what + " failed (error " + std::to_string(GetLastError()) +
                           ")");
}

// OpenGL 3.0 entry points exist only once a context is current.
template <class Function>
Function entryPoint(const char* name) {
  const PROC found = wglGetProcAddress(name);
  if (found == nullptr) {
    throw std::runtime_error(std::string("no off-screen OpenGL: the driver lacks ") + name);
  }
  Function function = nullptr;
  static_assert(sizeof function == sizeof found, "function pointers of one size");
  std::memcpy(&function, &found, sizeof function);
  return function;
}

const wchar_t* windowClass() {
  static const wchar_t* const name = [] {
    WNDCLASSW description{};
    description.style = CS_OWNDC;
    description.lpfnWndProc = DefWindowProcW;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = L"LumoxOffscreenOpenGL";
    if (RegisterClassW(&description) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      fail("RegisterClass");
    }
    return description.lpszClassName;
  }();
  return name;
}

}  // namespace

struct OffscreenContext::Platform {
  HWND window = nullptr;
  HDC deviceContext = nullptr;
  HGLRC context = nullptr;
  GLuint framebuffer = 0;
  GLuint renderbuffer = 0;
  DeleteObjects deleteFramebuffers = nullptr;
  DeleteObjects deleteRenderbuffers = nullptr;

  ~Platform() {
    if (context != nullptr) {
      if (wglGetCurrentContext() == context) {
        if (deleteFramebuffers != nullptr) {
          deleteFramebuffers(1, &framebuffer);
          deleteRenderbuffers(1, &renderbuffer);
        }
        wglMakeCurrent(nullptr, nullptr);
      }
      wglDeleteContext(context);
    }
    if (deviceContext != nullptr) {
      ReleaseDC(window, deviceContext);
    }
    if (window != nullptr) {
      DestroyWindow(window);
    }
  }
};

OffscreenContext::OffscreenContext(int width, int height)
    : width_(width), height_(height), platform_(std::make_unique<Platform>()) {
  const std::string size = checkedPictureSize(width, height);
  Platform& p = *platform_;
  p.window = CreateWindowExW(WS_EX_TOOLWINDOW, windowClass(), L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if (p.window == nullptr) {
    fail("CreateWindowEx");
  }
  p.deviceContext = GetDC(p.window);
  if (p.deviceContext == nullptr) {
    fail("GetDC");
  }
  PIXELFORMATDESCRIPTOR format{};
  format.nSize = sizeof format;
  format.nVersion = 1;
  format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  format.iPixelType = PFD_TYPE_RGBA;
  format.cColorBits = 24;
  format.cAlphaBits = 8;
  const int chosen = ChoosePixelFormat(p.deviceContext, &format);
  if (chosen == 0 || !SetPixelFormat(p.deviceContext, chosen, &format)) {
    fail("choosing an OpenGL pixel format");
  }
  p.context = wglCreateContext(p.deviceContext);
  if (p.context == nullptr) {
    fail("wglCreateContext");
  }
  if (!wglMakeCurrent(p.deviceContext, p.context)) {
    fail("wglMakeCurrent");
  }

  const auto genFramebuffers = entryPoint<GenObjects>("glGenFramebuffers");
  const auto bindFramebuffer = entryPoint<BindObject>("glBindFramebuffer");
  const auto genRenderbuffers = entryPoint<GenObjects>("glGenRenderbuffers");
  const auto bindRenderbuffer = entryPoint<BindObject>("glBindRenderbuffer");
  const auto renderbufferStorage = entryPoint<RenderbufferStorage>("glRenderbufferStorage");
  const auto framebufferRenderbuffer = entryPoint<FramebufferRenderbuffer>("glFramebufferRenderbuffer");
  const auto checkFramebufferStatus = entryPoint<CheckFramebufferStatus>("glCheckFramebufferStatus");
  p.deleteFramebuffers = entryPoint<DeleteObjects>("glDeleteFramebuffers");
  p.deleteRenderbuffers = entryPoint<DeleteObjects>("glDeleteRenderbuffers");

  GLint largest = 0;
  glGetIntegerv(kMaxRenderbufferSize, &largest);
  if (width > largest || height > largest) {
    throw std::runtime_error("cannot draw into a " + size + " off-screen picture: at most " +
                             std::to_string(largest) + " pixels a side");
  }
  genRenderbuffers(1, &p.renderbuffer);
  bindRenderbuffer(kRenderbuffer, p.renderbuffer);
  renderbufferStorage(kRenderbuffer, GL_RGBA8, width, height);
  genFramebuffers(1, &p.framebuffer);
  bindFramebuffer(kFramebuffer, p.framebuffer);
  framebufferRenderbuffer(kFramebuffer, kColorAttachment0, kRenderbuffer, p.renderbuffer);
  if (checkFramebufferStatus(kFramebuffer) != kFramebufferComplete) {
    throw std::runtime_error("cannot draw into a " + size + " off-screen picture");
  }
  // As a fresh Mesa context starts: the whole picture, cleared to nothing.
  glViewport(0, 0, width, height);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
}

OffscreenContext::~OffscreenContext() = default;

bool OffscreenContext::displayAvailable() {
  // Wine hands the Unix environment to Windows programs; its OpenGL draws
  // through an X display. Windows itself always has a display.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const bool underWine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  return !underWine || GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 1;
}

}  // namespace offscreen
}  // namespace standin
