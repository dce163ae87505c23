// OpenGL 1.x declarations; Windows' gl.h needs its own header first.
#pragma once

#if defined(_WIN32)
#  include <windows.h>
#endif
#include <GL/gl.h>
