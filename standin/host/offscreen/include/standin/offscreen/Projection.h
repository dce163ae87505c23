// The viewer's matrices, as OpenGL's fixed-function calls would build them,
// for a host that loads them and for code that predicts where a point lands.
#pragma once

#include <array>

namespace standin {
namespace offscreen {

using Vector3 = std::array<double, 3>;
using Vector4 = std::array<double, 4>;

// 4x4, column-major as glLoadMatrixd takes it.
struct Matrix {
  std::array<double, 16> m;

  static Matrix identity();
  static Matrix translation(double x, double y, double z);
  static Matrix scaling(double s);
  // As glOrtho, glFrustum and gluPerspective (vertical field in degrees).
  static Matrix ortho(double left, double right, double bottom, double top, double nearPlane, double farPlane);
  static Matrix frustum(double left, double right, double bottom, double top, double nearPlane, double farPlane);
  static Matrix perspective(double fovYDegrees, double aspect, double nearPlane, double farPlane);
  // As gluLookAt: a camera at `eye` looking at `target`.
  static Matrix lookAt(const Vector3& eye, const Vector3& target, const Vector3& up);

  Matrix operator*(const Matrix& other) const;
  Vector4 operator*(const Vector4& v) const;
};

// Where `point` lands in a width x height viewport under projection * modelview:
// window x and y (pixels from the lower left corner), depth in [0, 1], clip w.
Vector4 windowPosition(const Matrix& projection, const Matrix& modelview, const Vector3& point, int width,
                       int height);

}  // namespace offscreen
}  // namespace standin
