// The ops that asked a viewer to draw them, as the host's viewer keeps them.
#pragma once

#include <DDImage/Export.h>
#include <DDImage/Op.h>
#include <DDImage/ViewerContext.h>

#include <vector>

namespace standin {
namespace ddimage {

// A viewer gives its context one of these (through the context's host
// field); Op::add_draw_handle then appends the op, once per build.
struct DrawHandles {
  std::vector<DD::Image::Op*> ops;
};

DDIMAGE_API void attach(DD::Image::ViewerContext& context, DrawHandles& handles);

}  // namespace ddimage
}  // namespace standin
