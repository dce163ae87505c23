// A small bitmap font for labels in the viewer.
#pragma once

namespace standin {
namespace ddimage {

constexpr int kGlyphWidth = 6;   // advance, in pixels
constexpr int kGlyphHeight = 8;

// Draws `length` bytes at the current raster position with glBitmap, one
// glyph per byte (printable ASCII; anything else as a box), advancing the
// raster position by kGlyphWidth per glyph.
void drawBitmapText(const char* text, int length);

}  // namespace ddimage
}  // namespace standin
