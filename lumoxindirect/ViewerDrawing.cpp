// What the node shows in the host's 3D viewer: its name at its origin.
#include "LumoxIndirect.h"

#include "OpenGL.h"

#include <DDImage/ViewerContext.h>
#include <DDImage/gl.h>

#include <string>

namespace lumoxindirect {

namespace {

constexpr unsigned kSelectedColor = 0xFFFFFF00u;

// Keeps the viewer's matrix stack balanced even if drawing the label throws.
class PushedMatrix {
public:
  PushedMatrix() { glPushMatrix(); }
  ~PushedMatrix() { glPopMatrix(); }
  PushedMatrix(const PushedMatrix&) = delete;
  PushedMatrix& operator=(const PushedMatrix&) = delete;
};

}  // namespace

void LumoxIndirect::build_handles(DD::Image::ViewerContext* ctx) {
  if (ctx->handles_mode() == 0) {
    return;
  }
  validate(false);
  build_knob_handles(ctx);
  if (ctx->draw_handles_wanted() != 0) {
    add_draw_handle(ctx);
  }
}

void LumoxIndirect::draw_handle(DD::Image::ViewerContext* ctx) {
  if (ctx->draw_mode() <= 3) {
    return;
  }
  PushedMatrix pushed;
  glMultMatrixf(matrix().array());
  // The raster color is latched from the current color by glRasterPos.
  DD::Image::glColor(node_selected() ? kSelectedColor : ctx->draw_color());
  glRasterPos3f(0.0f, 0.0f, 0.0f);
  const std::string label = nodeName(this);
  DD::Image::gl_text(label.c_str(), static_cast<int>(label.size()));
}

}  // namespace lumoxindirect
