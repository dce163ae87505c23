// The viewer's matrices. ddhost and the tests that predict its picture share
// them, so only these checks would see a camera that looks the wrong way.
#include <standin/offscreen/Projection.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using standin::offscreen::Matrix;
using standin::offscreen::Vector3;
using standin::offscreen::Vector4;

Vector4 apply(const Matrix& m, const Vector3& p) {
  return m * Vector4{p[0], p[1], p[2], 1};
}

double distance(const Vector3& a, const Vector3& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

TEST(Projection, LookAtPutsTheEyeAtTheOriginFacingTheTargetDownMinusZ) {
  struct Case {
    Vector3 eye;
    Vector3 target;
  };
  const Case cases[] = {
      {{0, 4, 9}, {0, 1, -1}},
      {{-3, 2, 1}, {5, 0.5, -7}},
      {{0, 0, -5}, {0, 0, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("eye " + std::to_string(c.eye[0]) + "," + std::to_string(c.eye[1]) + "," + std::to_string(c.eye[2]));
    const Matrix view = Matrix::lookAt(c.eye, c.target, {0, 1, 0});
    const Vector4 eye = apply(view, c.eye);
    const Vector4 target = apply(view, c.target);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(eye[static_cast<std::size_t>(i)], 0, 1e-9);
    }
    EXPECT_NEAR(target[0], 0, 1e-9);
    EXPECT_NEAR(target[1], 0, 1e-9);
    EXPECT_NEAR(target[2], -distance(c.eye, c.target), 1e-9);
    // A point straight above the eye stays above it.
    const Vector3 above{c.eye[0], c.eye[1] + 1, c.eye[2]};
    EXPECT_GT(apply(view, above)[1], 0);
  }
}

TEST(Projection, PerspectiveMapsTheFieldOfViewToTheViewportEdges) {
  const double fovY = 45;
  const double aspect = 16.0 / 9.0;
  const Matrix projection = Matrix::perspective(fovY, aspect, 0.1, 1000);
  const double depth = 7;
  const double halfHeight = depth * std::tan(fovY * 3.14159265358979323846 / 360.0);
  struct Case {
    Vector3 point;
    double windowX, windowY;
  };
  const int width = 320;
  const int height = 180;
  const Case cases[] = {
      {{0, 0, -depth}, width / 2.0, height / 2.0},
      {{0, halfHeight, -depth}, width / 2.0, height},
      {{-halfHeight * aspect, -halfHeight, -depth}, 0, 0},
  };
  for (const Case& c : cases) {
    const Vector4 window =
        standin::offscreen::windowPosition(projection, Matrix::identity(), c.point, width, height);
    EXPECT_NEAR(window[0], c.windowX, 1e-9);
    EXPECT_NEAR(window[1], c.windowY, 1e-9);
    EXPECT_NEAR(window[3], depth, 1e-9);  // clip w is the distance in front of the eye
  }
}

}  // namespace
