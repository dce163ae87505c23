#include "PngPicture.h"

#include <harness/Files.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace testsupport {

PngPicture decodePng(const std::filesystem::path& path) {
  const std::string bytes = readFile(path);
  int width = 0;
  int height = 0;
  int channels = 0;
  const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
      stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()), &width,
                            &height, &channels, 3),
      stbi_image_free);
  if (!pixels) {
    throw std::runtime_error("cannot decode " + path.string() + ": " + stbi_failure_reason());
  }
  PngPicture picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(pixels.get(), pixels.get() + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  return picture;
}

}  // namespace testsupport
