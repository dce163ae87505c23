#include <standin/ddimage/Node.h>

namespace DD {
namespace Image {

Node::Node() = default;

// The host's copies of the node's texts go with it.
Node::~Node() {
  for (const standin::ddimage::Control& control : controls) {
    if (control.kind() == standin::ddimage::ControlKind::Text) {
      standin::ddimage::releaseText(control.pointer());
    }
  }
}

}  // namespace Image
}  // namespace DD
