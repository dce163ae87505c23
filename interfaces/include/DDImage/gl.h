// Drawing helpers for ops' viewer handles; they draw into the current
// OpenGL context of the viewer.
#pragma once

#include <DDImage/Export.h>

namespace DD {
namespace Image {

// Sets the current color from 0xRRGGBB00: red in the most significant byte;
// the low byte is not used and the color is opaque.
DDIMAGE_API void glColor(unsigned color);

// Draws `length` bytes of `text` at the current raster position.
DDIMAGE_API void gl_text(const char* text, int length);

}  // namespace Image
}  // namespace DD
