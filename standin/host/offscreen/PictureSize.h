// What both platforms' contexts check of the picture asked for.
#pragma once

#include <stdexcept>
#include <string>

namespace standin {
namespace offscreen {

// "WxH", for messages; throws std::runtime_error for a size with no pixels.
inline std::string checkedPictureSize(int width, int height) {
  std::string size = std::to_string(width) + "x" + std::to_string(height);
  if (width <= 0 || height <= 0) {
    throw std::runtime_error("no off-screen OpenGL picture of " + size + " pixels");
  }
  return size;
}

}  // namespace offscreen
}  // namespace standin
