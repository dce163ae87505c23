// The system's OpenGL 1.x header.
#pragma once

#if defined(_WIN32)
#  include <windows.h>
#endif
#include <GL/gl.h>
