// A plug-in registering a class the host has built in.
#include "PlainOp.h"

namespace {

DD::Image::Op* build(DD::Image::Node* node) {
  return new misbehaving::PlainOp(node, "Constant");
}

const DD::Image::Op::Description description("Constant", build);

}  // namespace
