#include "Png.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <stdexcept>
#include <string>

namespace ddhost {

namespace {

void append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace

std::string encodePng(const Picture& picture) {
  std::string bytes;
  if (stbi_write_png_to_func(append, &bytes, picture.width, picture.height, 3, picture.rgb.data(),
                             picture.width * 3) == 0) {
    throw std::runtime_error("cannot encode a " + std::to_string(picture.width) + "x" +
                             std::to_string(picture.height) + " picture as PNG");
  }
  return bytes;
}

}  // namespace ddhost
