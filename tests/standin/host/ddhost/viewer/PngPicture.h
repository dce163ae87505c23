// Reading back the PNG pictures ddhost writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace testsupport {

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Rgb& o) const { return !(*this == o); }
};

// 8-bit RGB, top row first.
struct PngPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;

  Rgb at(int x, int y) const {
    const std::size_t i =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// Throws std::runtime_error when the file is not a PNG that can be read.
PngPicture decodePng(const std::filesystem::path& path);

}  // namespace testsupport
