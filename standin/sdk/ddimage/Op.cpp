// The SDK's op classes, backed by the host's Node records.
#include <DDImage/AxisOp.h>
#include <DDImage/Iop.h>
#include <DDImage/Knobs.h>
#include <DDImage/LightOp.h>
#include <DDImage/Op.h>

#include <standin/ddimage/HostViewerContext.h>
#include <standin/ddimage/Node.h>

#include <DDImage/ViewerContext.h>

#include <cstring>

#include <ostream>
#include <string>
#include <utility>

namespace DD {
namespace Image {

namespace {

bool recording(const Node* node) {
  return node != nullptr && node->recordCalls;
}

standin::ddimage::CallObserver& callObserver() {
  static standin::ddimage::CallObserver observer;
  return observer;
}

void record(Node* node, std::string call) {
  if (recording(node)) {
    const standin::ddimage::CallObserver& observer = callObserver();
    if (!observer) {
      node->calls.push_back(std::move(call));
      return;
    }
    // A copy: what the observer does may record more calls.
    node->calls.push_back(call);
    observer(*node, call);
  }
}

// Forms no text unless the node keeps its calls.
void record(Node* node, const char* call) {
  if (recording(node)) {
    record(node, std::string(call));
  }
}

}  // namespace

void (*Op::print_name_cb)(std::ostream& out, const Op* op) = nullptr;

void Op::DDImage_ABI_6_3_001() {}

Op::Op(Node* node) : node_(node), reserved_{} {}

Op::~Op() = default;

const char* Op::displayName() const {
  return Class();
}

const char* Op::node_shape() const {
  return "";
}

int Op::minimum_inputs() const {
  return 0;
}

int Op::maximum_inputs() const {
  return 0;
}

bool Op::test_input(int n, Op* /*op*/) const {
  return n >= 0 && n < maximum_inputs();
}

const char* Op::input_label(int /*n*/, char* /*buffer*/) const {
  return nullptr;
}

// The bases record being called, so a node's test sees whether it chains.
void Op::knobs(Knob_Closure& /*f*/) {
  record(node_, "Op::knobs");
}

int Op::knob_changed(Knob* k) {
  if (recording(node_)) {
    const char* name = k != nullptr ? k->name() : nullptr;
    record(node_, std::string("knob_changed(") + (name != nullptr ? name : "") + ")");
  }
  return node_ != nullptr ? node_->knobChangedAnswer : 0;
}

void Op::build_handles(ViewerContext* /*ctx*/) {}

void Op::draw_handle(ViewerContext* /*ctx*/) {
  record(node_, "Op::draw_handle");
}

void Op::_validate(bool /*for_real*/) {}

void Op::validate(bool for_real) {
  record(node_, for_real ? "validate(true)" : "validate(false)");
  _validate(for_real);
}

int Op::inputs() const {
  record(node_, "inputs()");
  return node_ != nullptr ? static_cast<int>(node_->inputs.size()) : 0;
}

Op* Op::input(int n) const {
  if (recording(node_)) {
    record(node_, "input(" + std::to_string(n) + ")");
  }
  if (node_ == nullptr || n < 0 || n >= static_cast<int>(node_->inputs.size())) {
    return nullptr;
  }
  return node_->inputs[static_cast<std::size_t>(n)];
}

void Op::print_name(std::ostream& out) const {
  record(node_, "print_name");
  if (node_ != nullptr) {
    out << node_->name;
  }
}

Knob* Op::knob(const char* name) const {
  if (recording(node_)) {
    record(node_, std::string("knob(") + (name != nullptr ? name : "") + ")");
  }
  if (node_ == nullptr || name == nullptr) {
    return nullptr;
  }
  for (auto& control : node_->controls) {
    if (control.is(name)) {
      return &control;
    }
  }
  return nullptr;
}

void Op::build_knob_handles(ViewerContext* /*ctx*/) {
  record(node_, "build_knob_handles");
}

void Op::add_draw_handle(ViewerContext* ctx) {
  record(node_, "add_draw_handle");
  if (ctx != nullptr) {
    static_cast<standin::ddimage::HostViewerContext*>(ctx)->addDrawHandle(this);
  }
}

bool Op::node_selected() const {
  record(node_, "node_selected()");
  return node_ != nullptr && node_->selected;
}

AxisOp::AxisOp(Node* node) : Op(node), axis_reserved_(nullptr), matrix_(Matrix4::identity()) {}
AxisOp::~AxisOp() = default;

CameraOp::CameraOp(Node* node) : AxisOp(node) {}
CameraOp::~CameraOp() = default;

LightOp::LightOp(Node* node) : CameraOp(node) {}
LightOp::~LightOp() = default;

int LightOp::lightType() const {
  return 0;
}

void LightOp::build_handles(ViewerContext* /*ctx*/) {
  record(node(), "LightOp::build_handles");
}

void LightOp::draw_handle(ViewerContext* /*ctx*/) {
  record(node(), "LightOp::draw_handle");
}

void LightOp::_validate(bool for_real) {
  record(node(), for_real ? "LightOp::_validate(true)" : "LightOp::_validate(false)");
}

Iop::Iop(Node* node) : Op(node) {}
Iop::~Iop() = default;

Knob::~Knob() = default;

bool Knob::is(const char* name) const {
  const char* own = this->name();
  return name != nullptr && own != nullptr && std::strcmp(own, name) == 0;
}

Knob_Closure::~Knob_Closure() = default;

void SetRange(Knob_Closure& f, double minimum, double maximum) {
  f.range(minimum, maximum);
}

void SetFlags(Knob_Closure& f, std::uint64_t mask) {
  f.setFlags(mask);
}

void ClearFlags(Knob_Closure& f, std::uint64_t mask) {
  f.clearFlags(mask);
}

void Tooltip(Knob_Closure& f, const char* text) {
  f.tooltip(text);
}

}  // namespace Image
}  // namespace DD

namespace standin {
namespace ddimage {

void observeCalls(CallObserver observer) {
  DD::Image::callObserver() = std::move(observer);
}

}  // namespace ddimage
}  // namespace standin
