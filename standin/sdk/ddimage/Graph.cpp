#include <standin/ddimage/Graph.h>

#include "PanelBuilder.h"

#include <standin/ddimage/Controls.h>
#include <standin/ddimage/Node.h>
#include <standin/ddimage/Registry.h>

#include <DDImage/LightOp.h>

#include <ostream>
#include <stdexcept>

namespace standin {
namespace ddimage {

using DD::Image::Node;
using DD::Image::Op;

void printNodeName(std::ostream& out, const Op* op) {
  if (op != nullptr && op->node() != nullptr) {
    out << op->node()->name;
  }
}

Node& nodeOf(const Op* op) {
  if (op == nullptr || op->node() == nullptr) {
    throw std::invalid_argument("op has no host node");
  }
  return *op->node();
}

Control* findControl(const Op* op, std::string_view name) {
  for (Control& control : nodeOf(op).controls) {
    const char* own = control.name();
    if (own != nullptr && name == own) {
      return &control;
    }
  }
  return nullptr;
}

Graph::Graph() = default;

Graph::~Graph() {
  // Newest first, so no op outlives one it may point at.
  while (!entries_.empty()) {
    entries_.back().op.reset();
    entries_.pop_back();
  }
}

Op* Graph::create(const std::string& className, const std::string& name) {
  const Op::Description* description = findDescription(className);
  if (description == nullptr || description->constructor == nullptr) {
    throw std::invalid_argument("unknown node class " + className);
  }
  Entry entry;
  entry.node = std::make_unique<Node>();
  entry.node->recordCalls = recordCalls_;
  entry.node->name = name.empty() ? className + std::to_string(++counters_[className]) : name;
  entry.op.reset(description->constructor(entry.node.get()));
  if (!entry.op) {
    throw std::runtime_error("the factory of " + className + " made no op");
  }
  entry.node->inputs.assign(static_cast<std::size_t>(std::max(0, entry.op->maximum_inputs())), nullptr);
  entry.node->calls.clear();
  Op* op = entry.op.get();
  entries_.push_back(std::move(entry));
  order_.push_back(op);
  return op;
}

void Graph::reserve(std::size_t nodes) {
  entries_.reserve(entries_.size() + nodes);
  order_.reserve(order_.size() + nodes);
}

void Graph::connect(Op* op, int index, Op* source) {
  if (index < 0) {
    throw std::invalid_argument("negative input index");
  }
  Node& node = nodeOf(op);
  if (static_cast<std::size_t>(index) >= node.inputs.size()) {
    node.inputs.resize(static_cast<std::size_t>(index) + 1, nullptr);
  }
  node.inputs[static_cast<std::size_t>(index)] = source;
}

void Graph::buildPanel(Op* op, bool hostIntensity) {
  buildControls(*op, nodeOf(op), hostIntensity && dynamic_cast<DD::Image::LightOp*>(op) != nullptr);
}

Op* Graph::find(const std::string& name) const {
  for (const auto& entry : entries_) {
    if (entry.node->name == name) {
      return entry.op.get();
    }
  }
  return nullptr;
}

}  // namespace ddimage
}  // namespace standin
