// The host's default 3D view: a perspective camera at kViewerEye looking at
// kViewerTarget, y up, with a vertical field of view of kViewerFovY degrees.
#pragma once

#include <standin/offscreen/Projection.h>

namespace ddhost {

constexpr standin::offscreen::Vector3 kViewerEye = {0.0, 4.0, 9.0};
constexpr standin::offscreen::Vector3 kViewerTarget = {0.0, 1.0, -1.0};
constexpr double kViewerFovY = 45.0;
constexpr double kViewerNear = 0.1;
constexpr double kViewerFar = 1000.0;

inline standin::offscreen::Matrix viewerProjection(int width, int height) {
  return standin::offscreen::Matrix::perspective(kViewerFovY, static_cast<double>(width) / height, kViewerNear,
                                                 kViewerFar);
}

inline standin::offscreen::Matrix viewerCamera() {
  return standin::offscreen::Matrix::lookAt(kViewerEye, kViewerTarget, {0.0, 1.0, 0.0});
}

}  // namespace ddhost
