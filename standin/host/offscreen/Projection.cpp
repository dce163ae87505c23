#include <standin/offscreen/Projection.h>

#include <cmath>

namespace standin {
namespace offscreen {

namespace {

constexpr double kPi = 3.14159265358979323846;

Vector3 minus(const Vector3& a, const Vector3& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double dot(const Vector3& a, const Vector3& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vector3 cross(const Vector3& a, const Vector3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vector3 normalized(const Vector3& a) {
  const double length = std::sqrt(dot(a, a));
  return {a[0] / length, a[1] / length, a[2] / length};
}

}  // namespace

Matrix Matrix::identity() {
  return {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

Matrix Matrix::translation(double x, double y, double z) {
  Matrix t = identity();
  t.m[12] = x;
  t.m[13] = y;
  t.m[14] = z;
  return t;
}

Matrix Matrix::scaling(double s) {
  Matrix t = identity();
  t.m[0] = t.m[5] = t.m[10] = s;
  return t;
}

Matrix Matrix::ortho(double left, double right, double bottom, double top, double nearPlane, double farPlane) {
  Matrix o = identity();
  o.m[0] = 2 / (right - left);
  o.m[5] = 2 / (top - bottom);
  o.m[10] = -2 / (farPlane - nearPlane);
  o.m[12] = -(right + left) / (right - left);
  o.m[13] = -(top + bottom) / (top - bottom);
  o.m[14] = -(farPlane + nearPlane) / (farPlane - nearPlane);
  return o;
}

Matrix Matrix::frustum(double left, double right, double bottom, double top, double nearPlane, double farPlane) {
  Matrix p{};
  p.m[0] = 2 * nearPlane / (right - left);
  p.m[5] = 2 * nearPlane / (top - bottom);
  p.m[8] = (right + left) / (right - left);
  p.m[9] = (top + bottom) / (top - bottom);
  p.m[10] = -(farPlane + nearPlane) / (farPlane - nearPlane);
  p.m[11] = -1;
  p.m[14] = -2 * farPlane * nearPlane / (farPlane - nearPlane);
  return p;
}

Matrix Matrix::perspective(double fovYDegrees, double aspect, double nearPlane, double farPlane) {
  const double top = nearPlane * std::tan(fovYDegrees * kPi / 360.0);
  const double right = top * aspect;
  return frustum(-right, right, -top, top, nearPlane, farPlane);
}

Matrix Matrix::lookAt(const Vector3& eye, const Vector3& target, const Vector3& up) {
  const Vector3 forward = normalized(minus(target, eye));
  const Vector3 side = normalized(cross(forward, up));
  const Vector3 trueUp = cross(side, forward);
  return {{side[0], trueUp[0], -forward[0], 0, side[1], trueUp[1], -forward[1], 0, side[2], trueUp[2], -forward[2], 0,
           -dot(side, eye), -dot(trueUp, eye), dot(forward, eye), 1}};
}

Matrix Matrix::operator*(const Matrix& other) const {
  Matrix product{};
  for (std::size_t column = 0; column < 4; ++column) {
    for (std::size_t row = 0; row < 4; ++row) {
      double sum = 0;
      for (std::size_t k = 0; k < 4; ++k) {
        sum += m[k * 4 + row] * other.m[column * 4 + k];
      }
      product.m[column * 4 + row] = sum;
    }
  }
  return product;
}

Vector4 Matrix::operator*(const Vector4& v) const {
  Vector4 out{};
  for (std::size_t row = 0; row < 4; ++row) {
    for (std::size_t k = 0; k < 4; ++k) {
      out[row] += m[k * 4 + row] * v[k];
    }
  }
  return out;
}

Vector4 windowPosition(const Matrix& projection, const Matrix& modelview, const Vector3& point, int width,
                       int height) {
  const Vector4 clip = projection * modelview * Vector4{point[0], point[1], point[2], 1};
  const double w = clip[3];
  return {(clip[0] / w + 1) * width / 2, (clip[1] / w + 1) * height / 2, (clip[2] / w + 1) / 2, w};
}

}  // namespace offscreen
}  // namespace standin
