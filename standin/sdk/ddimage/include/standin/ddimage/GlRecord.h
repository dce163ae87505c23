// What ops drew through the SDK's drawing helpers.
#pragma once

#include <DDImage/Export.h>

#include <string>
#include <vector>

namespace standin {
namespace ddimage {

struct GlCall {
  std::string function;  // "glColor" or "gl_text"
  unsigned color = 0;
  std::string text;
  int length = 0;
};

DDIMAGE_API std::vector<GlCall> glRecord();
DDIMAGE_API void clearGlRecord();

// Makes gl_text throw std::runtime_error once it has recorded the call, as
// a host whose text drawing fails would; false restores it.
DDIMAGE_API void setTextDrawingFails(bool fails);

}  // namespace ddimage
}  // namespace standin
