#include <standin/ddimage/Graph.h>

#include <standin/ddimage/Controls.h>
#include <standin/ddimage/Node.h>
#include <standin/ddimage/Registry.h>

#include <DDImage/LightOp.h>

#include <ostream>
#include <stdexcept>

namespace DD {
namespace Image {

Node::Node() = default;
Node::~Node() = default;

}  // namespace Image
}  // namespace DD

namespace standin {
namespace ddimage {

using DD::Image::Node;
using DD::Image::Op;

namespace {

// The host's control-building callback: each declaration becomes a control
// of the node; ranges, flags and tooltips go to the one declared last.
class PanelBuilder : public DD::Image::Knob_Closure {
public:
  explicit PanelBuilder(Node& node) : node_(node) {}

  DD::Image::Knob* operator()(int type, int storage, void* pointer, const char* name, const char* label,
                              const void* /*extra*/) override {
    node_.calls.push_back(std::string("declare(") + (name != nullptr ? name : "") + ")");
    const bool keepsText = name != nullptr && controlKind(type, storage) == ControlKind::Text;
    std::string* textStore = keepsText ? &node_.texts[name] : nullptr;
    node_.controls.push_back(std::make_unique<Control>(type, storage, pointer, name, label, textStore));
    last_ = node_.controls.back().get();
    return last_;
  }
  void range(double minimum, double maximum) override { last().setRange(minimum, maximum); }
  void setFlags(std::uint64_t mask) override { last().setFlags(mask); }
  void clearFlags(std::uint64_t mask) override { last().clearFlags(mask); }
  void tooltip(const char* text) override { last().setTooltip(text); }

private:
  Control& last() {
    if (last_ == nullptr) {
      throw std::logic_error("control option given before any control was declared");
    }
    return *last_;
  }

  Node& node_;
  Control* last_ = nullptr;
};

}  // namespace

struct Graph::Entry {
  std::unique_ptr<Node> node;
  std::unique_ptr<Op> op;
};

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

Control* findControl(const Op* op, const std::string& name) {
  for (const auto& control : nodeOf(op).controls) {
    if (control->hasName() && name == control->name()) {
      return control.get();
    }
  }
  return nullptr;
}

Graph::Graph() = default;

Graph::~Graph() {
  // Newest first, so no op outlives one it may point at.
  while (!entries_.empty()) {
    entries_.back()->op.reset();
    entries_.pop_back();
  }
}

Op* Graph::create(const std::string& className, const std::string& name) {
  const Op::Description* description = findDescription(className);
  if (description == nullptr || description->constructor == nullptr) {
    throw std::invalid_argument("unknown node class " + className);
  }
  auto entry = std::make_unique<Entry>();
  entry->node = std::make_unique<Node>();
  entry->node->name = name.empty() ? className + std::to_string(++counters_[className]) : name;
  entry->op.reset(description->constructor(entry->node.get()));
  if (!entry->op) {
    throw std::runtime_error("the factory of " + className + " made no op");
  }
  entry->node->inputs.assign(static_cast<std::size_t>(std::max(0, entry->op->maximum_inputs())), nullptr);
  entry->node->calls.clear();
  Op* op = entry->op.get();
  entries_.push_back(std::move(entry));
  order_.push_back(op);
  return op;
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
  Node& node = nodeOf(op);
  node.controls.clear();
  if (hostIntensity && dynamic_cast<DD::Image::LightOp*>(op) != nullptr) {
    node.controls.push_back(
        std::make_unique<Control>(DD::Image::FLOAT_KNOB, DD::Image::FloatPtr, nullptr, "intensity", "intensity"));
    node.controls.back()->setNumber(1.0);
  }
  PanelBuilder builder(node);
  op->knobs(builder);
}

Op* Graph::find(const std::string& name) const {
  for (const auto& entry : entries_) {
    if (entry->node->name == name) {
      return entry->op.get();
    }
  }
  return nullptr;
}

}  // namespace ddimage
}  // namespace standin
