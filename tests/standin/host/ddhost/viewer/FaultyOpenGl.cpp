// An opengl32.dll found before the system's (a test puts it beside a copy of
// ddhost.exe) that passes every call on to the system's, except the one
// LUMOX_TEST_GL_FAULT names: there it first prints LUMOX_TEST_GL_SAYS, as a
// driver's own words, then faults as LUMOX_TEST_GL_FAULT_BY says: "segv"
// (the default), "abort", "exit" (status 3) or "hang" (for ever). Its names are given in
// FaultyOpenGl.def, since <windows.h> declares the wgl calls itself.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HMODULE systemOpenGl() {
  static const HMODULE module = [] {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    std::wstring file(path, length);
    file += L"\\opengl32.dll";
    const HMODULE loaded = LoadLibraryW(file.c_str());
    if (loaded == nullptr) {
      std::fprintf(stderr, "faulty OpenGL: cannot load the system's opengl32.dll: error %lu\n", GetLastError());
      std::abort();
    }
    return loaded;
  }();
  return module;
}

template <class Function>
Function systemCall(const char* name) {
  const FARPROC found = GetProcAddress(systemOpenGl(), name);
  if (found == nullptr) {
    std::fprintf(stderr, "faulty OpenGL: the system's opengl32.dll lacks %s\n", name);
    std::abort();
  }
  Function function = nullptr;
  static_assert(sizeof function == sizeof found, "function pointers of one size");
  std::memcpy(&function, &found, sizeof function);
  return function;
}

void faultAt(const char* call) {
  char chosen[128];
  const DWORD length = GetEnvironmentVariableA("LUMOX_TEST_GL_FAULT", chosen, sizeof chosen);
  if (length == 0 || length >= sizeof chosen || std::strcmp(chosen, call) != 0) {
    return;
  }
  if (const char* says = std::getenv("LUMOX_TEST_GL_SAYS")) {
    std::fputs(says, stderr);
    std::fflush(stderr);
  }
  const char* how = std::getenv("LUMOX_TEST_GL_FAULT_BY");
  const std::string by = how != nullptr ? how : "segv";
  if (by == "abort") {
    std::abort();
  }
  if (by == "exit") {
    std::exit(3);
  }
  if (by == "hang") {
    // The process's own handle is signalled only once it has ended.
    WaitForSingleObject(GetCurrentProcess(), INFINITE);
  }
  // A write through a null pointer, as a driver's bug would make.
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
}

}  // namespace

// Defines Faulty_NAME, exported as NAME, with its result and parameters.
#define LUMOX_FORWARD(result, name, parameters, arguments)                              \
  extern "C" result WINAPI Faulty_##name parameters {                                  \
    faultAt(#name);                                                                    \
    static const auto call = systemCall<result(WINAPI*) parameters>(#name);            \
    return call arguments;                                                             \
  }

using GLenum = unsigned int;
using GLbitfield = unsigned int;
using GLint = int;
using GLsizei = int;
using GLfloat = float;
using GLdouble = double;
using GLubyte = unsigned char;

LUMOX_FORWARD(void, glBegin, (GLenum mode), (mode))
LUMOX_FORWARD(void, glBitmap,
              (GLsizei w, GLsizei h, GLfloat x, GLfloat y, GLfloat dx, GLfloat dy, const GLubyte* bits),
              (w, h, x, y, dx, dy, bits))
LUMOX_FORWARD(void, glClear, (GLbitfield mask), (mask))
LUMOX_FORWARD(void, glClearColor, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))
LUMOX_FORWARD(void, glColor4ub, (GLubyte r, GLubyte g, GLubyte b, GLubyte a), (r, g, b, a))
LUMOX_FORWARD(void, glDisable, (GLenum what), (what))
LUMOX_FORWARD(void, glEnd, (), ())
LUMOX_FORWARD(void, glFinish, (), ())
LUMOX_FORWARD(void, glGetIntegerv, (GLenum what, GLint* values), (what, values))
LUMOX_FORWARD(void, glLoadMatrixd, (const GLdouble* m), (m))
LUMOX_FORWARD(void, glMatrixMode, (GLenum mode), (mode))
LUMOX_FORWARD(void, glMultMatrixf, (const GLfloat* m), (m))
LUMOX_FORWARD(void, glPixelStorei, (GLenum what, GLint value), (what, value))
LUMOX_FORWARD(void, glPopClientAttrib, (), ())
LUMOX_FORWARD(void, glPopMatrix, (), ())
LUMOX_FORWARD(void, glPushClientAttrib, (GLbitfield mask), (mask))
LUMOX_FORWARD(void, glPushMatrix, (), ())
LUMOX_FORWARD(void, glRasterPos3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
LUMOX_FORWARD(void, glReadPixels,
              (GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, void* pixels),
              (x, y, w, h, format, type, pixels))
LUMOX_FORWARD(void, glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
LUMOX_FORWARD(void, glViewport, (GLint x, GLint y, GLsizei w, GLsizei h), (x, y, w, h))
LUMOX_FORWARD(HGLRC, wglCreateContext, (HDC dc), (dc))
LUMOX_FORWARD(BOOL, wglDeleteContext, (HGLRC context), (context))
LUMOX_FORWARD(HGLRC, wglGetCurrentContext, (), ())
LUMOX_FORWARD(HDC, wglGetCurrentDC, (), ())
LUMOX_FORWARD(PROC, wglGetProcAddress, (LPCSTR name), (name))
LUMOX_FORWARD(BOOL, wglMakeCurrent, (HDC dc, HGLRC context), (dc, context))
LUMOX_FORWARD(int, wglChoosePixelFormat, (HDC dc, const PIXELFORMATDESCRIPTOR* wanted), (dc, wanted))
LUMOX_FORWARD(int, wglDescribePixelFormat, (HDC dc, int format, UINT size, PIXELFORMATDESCRIPTOR* into),
              (dc, format, size, into))
LUMOX_FORWARD(int, wglGetPixelFormat, (HDC dc), (dc))
LUMOX_FORWARD(BOOL, wglSetPixelFormat, (HDC dc, int format, const PIXELFORMATDESCRIPTOR* wanted),
              (dc, format, wanted))
LUMOX_FORWARD(BOOL, wglSwapBuffers, (HDC dc), (dc))
