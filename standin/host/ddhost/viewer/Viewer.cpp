#include "Viewer.h"

#include <ddhost/ViewerCamera.h>

#include <standin/ddimage/Graph.h>
#include <standin/ddimage/HostViewerContext.h>
#include <standin/ddimage/Node.h>

#include <DDImage/AxisOp.h>
#include <DDImage/LightOp.h>
#include <DDImage/ViewerContext.h>
#include <DDImage/gl.h>

#include <standin/offscreen/OffscreenContext.h>

#if defined(_WIN32)
#  include <windows.h>
#endif
#include <GL/gl.h>

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

namespace ddhost {

namespace {

using DD::Image::Op;

constexpr int kGridHalfExtent = 10;
// The draw mode from which ops draw their handles in full.
constexpr int kDrawModeSolid = 4;

// Restores the modelview matrix however the op leaves it.
class SavedMatrix {
public:
  SavedMatrix() { glPushMatrix(); }
  ~SavedMatrix() { glPopMatrix(); }
  SavedMatrix(const SavedMatrix&) = delete;
  SavedMatrix& operator=(const SavedMatrix&) = delete;
};

void setCamera(int width, int height) {
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(viewerProjection(width, height).m.data());
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(viewerCamera().m.data());
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

void drawViewer(const std::vector<SceneNode>& nodes, ViewerSize size, const std::function<void(Picture&)>& done) {
  std::unique_ptr<standin::offscreen::OffscreenContext> context;
  try {
    context = std::make_unique<standin::offscreen::OffscreenContext>(size.width, size.height);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    throw std::runtime_error(std::string("cannot create the viewer's OpenGL context: ") + error.what());
  }
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
    } catch (const std::bad_alloc&) {
      throw;
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
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& error) {
      drawingFailed(sceneNodeOf(nodes, op), error.what());
    }
  }
  const std::vector<std::uint8_t> rgba = context->readPixels();
  Picture picture;
  picture.width = size.width;
  picture.height = size.height;
  picture.rgb.resize(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 3);
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
  done(picture);
}

}  // namespace ddhost
