// The least a node class needs, for plug-ins that misbehave in other ways.
#pragma once

#include <DDImage/Op.h>

namespace misbehaving {

class PlainOp : public DD::Image::Op {
public:
  PlainOp(DD::Image::Node* node, const char* className) : DD::Image::Op(node), className_(className) {}
  const char* Class() const override { return className_; }
  const char* node_help() const override { return "A node of a plug-in that misbehaves."; }

private:
  const char* className_;
};

}  // namespace misbehaving
