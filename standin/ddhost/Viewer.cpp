#include "Viewer.h"

#include <standin/ddimage/Graph.h>
#include <standin/ddimage/HostViewerContext.h>
#include <standin/ddimage/Node.h>

#include <DDImage/AxisOp.h>
#include <DDImage/LightOp.h>
#include <DDImage/ViewerContext.h>
#include <DDImage/gl.h>

#include <GL/osmesa.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace ddhost {

namespace {

using DD::Image::Op;

constexpr float kNear = 0.1f;
constexpr float kFar = 1000.0f;
constexpr int kGridHalfExtent = 10;
// The draw mode from which ops draw their handles in full.
constexpr int kDrawModeSolid = 4;

// Mesa's off-screen context, drawing straight into memory we own.
class OffscreenContext {
public:
  OffscreenContext(int width, int height)
      : pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
    context_ = OSMesaCreateContextExt(OSMESA_RGBA, 0, 0, 0, nullptr);
    if (context_ == nullptr) {
      throw std::runtime_error("cannot create an off-screen OpenGL context");
    }
    if (!OSMesaMakeCurrent(context_, pixels_.data(), GL_UNSIGNED_BYTE, width, height)) {
      OSMesaDestroyContext(context_);
      throw std::runtime_error("cannot draw into a " + std::to_string(width) + "x" + std::to_string(height) +
                               " off-screen picture");
    }
  }
  ~OffscreenContext() { OSMesaDestroyContext(context_); }
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // RGBA, bottom row first, as OpenGL addresses the window.
  const std::vector<std::uint8_t>& pixels() const { return pixels_; }

private:
  std::vector<std::uint8_t> pixels_;
  OSMesaContext context_ = nullptr;
};

// Restores the modelview matrix however the op leaves it.
class SavedMatrix {
public:
  SavedMatrix() { glPushMatrix(); }
  ~SavedMatrix() { glPopMatrix(); }
  SavedMatrix(const SavedMatrix&) = delete;
  SavedMatrix& operator=(const SavedMatrix&) = delete;
};

struct Vector3 {
  float x, y, z;
};

Vector3 operator-(Vector3 a, Vector3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float dot(Vector3 a, Vector3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vector3 cross(Vector3 a, Vector3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vector3 normalized(Vector3 a) {
  const float length = std::sqrt(dot(a, a));
  return {a.x / length, a.y / length, a.z / length};
}

void setCamera(int width, int height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const double top = kNear * std::tan(kViewerFovY * 3.14159265358979323846 / 360.0);
  const double right = top * width / height;
  glFrustum(-right, right, -top, top, kNear, kFar);

  glMatrixMode(GL_MODELVIEW);
  const Vector3 eye{kViewerEye[0], kViewerEye[1], kViewerEye[2]};
  const Vector3 target{kViewerTarget[0], kViewerTarget[1], kViewerTarget[2]};
  const Vector3 forward = normalized(target - eye);
  const Vector3 side = normalized(cross(forward, Vector3{0, 1, 0}));
  const Vector3 up = cross(side, forward);
  const float view[16] = {side.x, up.x, -forward.x, 0,  side.y,          up.y,          -forward.y,      0,
                          side.z, up.z, -forward.z, 0, -dot(side, eye), -dot(up, eye), dot(forward, eye), 1};
  glLoadMatrixf(view);
}

void drawGrid() {
  DD::Image::glColor(kViewerGrid);
  glBegin(GL_LINES);
  for (int i = -kGridHalfExtent; i <= kGridHalfExtent; ++i) {
    const auto at = static_cast<float>(i);
    const auto extent = static_cast<float>(kGridHalfExtent);
    glVertex3f(at, 0, -extent);
    glVertex3f(at, 0, extent);
    glVertex3f(-extent, 0, at);
    glVertex3f(extent, 0, at);
  }
  glEnd();
}

// A 3D node that is not a light: a unit outline in its own xy plane, and
// its name at its origin.
void drawMarker(const DD::Image::AxisOp& op) {
  SavedMatrix saved;
  glMultMatrixf(op.matrix().array());
  DD::Image::glColor(kViewerMarker);
  glBegin(GL_LINE_LOOP);
  glVertex3f(-0.5f, -0.5f, 0);
  glVertex3f(0.5f, -0.5f, 0);
  glVertex3f(0.5f, 0.5f, 0);
  glVertex3f(-0.5f, 0.5f, 0);
  glEnd();
  glRasterPos3f(0, 0, 0);
  const std::string& name = standin::ddimage::nodeOf(&op).name;
  DD::Image::gl_text(name.c_str(), static_cast<int>(name.size()));
}

const SceneNode& sceneNodeOf(const std::vector<SceneNode>& nodes, const Op* op) {
  return *std::find_if(nodes.begin(), nodes.end(), [op](const SceneNode& node) { return node.op == op; });
}

[[noreturn]] void drawingFailed(const SceneNode& node, const char* what) {
  throw SceneError(node.line, standin::ddimage::nodeOf(node.op).name + ": drawing its handles failed: " + what);
}

}  // namespace

Picture drawViewer(const std::vector<SceneNode>& nodes, ViewerSize size) {
  OffscreenContext context(size.width, size.height);
  glViewport(0, 0, size.width, size.height);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_BLEND);
  glClearColor(static_cast<float>((kViewerBackground >> 24) & 0xFF) / 255.0f,
               static_cast<float>((kViewerBackground >> 16) & 0xFF) / 255.0f,
               static_cast<float>((kViewerBackground >> 8) & 0xFF) / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  setCamera(size.width, size.height);
  drawGrid();

  standin::ddimage::HostViewerContext viewer;
  viewer.setHandlesMode(1);
  viewer.setDrawHandlesWanted(1);
  viewer.setDrawMode(kDrawModeSolid);
  viewer.setDrawColor(kViewerDrawColor);

  for (const SceneNode& node : nodes) {
    try {
      SavedMatrix saved;
      node.op->build_handles(&viewer);
    } catch (const std::exception& error) {
      drawingFailed(node, error.what());
    }
  }

  for (const SceneNode& node : nodes) {
    const auto* axis = dynamic_cast<const DD::Image::AxisOp*>(node.op);
    if (axis != nullptr && dynamic_cast<const DD::Image::LightOp*>(node.op) == nullptr) {
      drawMarker(*axis);
    }
  }
  // In the order the ops asked to be drawn.
  for (Op* op : viewer.drawHandles()) {
    try {
      SavedMatrix saved;
      op->draw_handle(&viewer);
    } catch (const std::exception& error) {
      drawingFailed(sceneNodeOf(nodes, op), error.what());
    }
  }
  glFinish();

  Picture picture;
  picture.width = size.width;
  picture.height = size.height;
  picture.rgb.resize(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 3);
  const std::vector<std::uint8_t>& rgba = context.pixels();
  for (int y = 0; y < size.height; ++y) {
    const std::size_t from = static_cast<std::size_t>(size.height - 1 - y) * static_cast<std::size_t>(size.width) * 4;
    const std::size_t to = static_cast<std::size_t>(y) * static_cast<std::size_t>(size.width) * 3;
    for (int x = 0; x < size.width; ++x) {
      const auto column = static_cast<std::size_t>(x);
      picture.rgb[to + column * 3 + 0] = rgba[from + column * 4 + 0];
      picture.rgb[to + column * 3 + 1] = rgba[from + column * 4 + 1];
      picture.rgb[to + column * 3 + 2] = rgba[from + column * 4 + 2];
    }
  }
  return picture;
}

}  // namespace ddhost
