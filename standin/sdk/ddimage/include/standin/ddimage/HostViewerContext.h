// The stand-in viewer's context: the values it hands ops, and the ops that
// asked it to draw them, in the order they asked.
#pragma once

#include <DDImage/Op.h>
#include <DDImage/ViewerContext.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace standin {
namespace ddimage {

// Every context an op is handed is one of these, as the SDK's context can
// only be made by a host class (Op::add_draw_handle relies on it).
class HostViewerContext final : public DD::Image::ViewerContext {
public:
  void setDrawHandlesWanted(int value) { draw_handles_wanted_ = value; }
  void setDrawMode(int value) { draw_mode_ = value; }
  void setDrawColor(std::uint32_t value) { draw_color_ = value; }
  void setHandlesMode(int value) { handles_mode_ = value; }

  // Once per op however often it asks during a build.
  void addDrawHandle(DD::Image::Op* op) {
    if (std::find(drawHandles_.begin(), drawHandles_.end(), op) == drawHandles_.end()) {
      drawHandles_.push_back(op);
    }
  }
  const std::vector<DD::Image::Op*>& drawHandles() const { return drawHandles_; }
  void clearDrawHandles() { drawHandles_.clear(); }

private:
  std::vector<DD::Image::Op*> drawHandles_;
};

}  // namespace ddimage
}  // namespace standin
