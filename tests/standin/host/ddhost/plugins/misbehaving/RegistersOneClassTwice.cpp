// A plug-in registering one class twice, as one built from two copies of a
// source file would.
#include "PlainOp.h"

namespace {

DD::Image::Op* build(DD::Image::Node* node) {
  return new misbehaving::PlainOp(node, "Twice");
}

const DD::Image::Op::Description first("Twice", build);
const DD::Image::Op::Description second("Twice", build);

}  // namespace
