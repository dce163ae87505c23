// A plug-in whose nodes name no class: Class() returns null.
#include "PlainOp.h"

namespace {

DD::Image::Op* build(DD::Image::Node* node) {
  return new misbehaving::PlainOp(node, nullptr);
}

const DD::Image::Op::Description description("Nameless", build);

}  // namespace
