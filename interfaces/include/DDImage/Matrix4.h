// 4x4 matrix of 32-bit floats, stored column by column as OpenGL takes it.
#pragma once

namespace DD {
namespace Image {

struct Matrix4 {
  float a[16];

  static constexpr Matrix4 identity() {
    return Matrix4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
  }
  static constexpr Matrix4 translation(float x, float y, float z) {
    return Matrix4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}};
  }
  const float* array() const { return a; }
};

static_assert(sizeof(Matrix4) == 64, "Matrix4 is sixteen packed floats");

}  // namespace Image
}  // namespace DD
