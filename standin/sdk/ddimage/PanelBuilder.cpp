// The host's control-building callback, which shares a class's control
// descriptions between its nodes.
#include "PanelBuilder.h"

#include "ClassEntry.h"

#include <standin/ddimage/ClassControls.h>
#include <standin/ddimage/Node.h>

#include <cstring>
#include <optional>
#include <stdexcept>

namespace standin {
namespace ddimage {

namespace {

std::optional<std::string> optionalText(const char* text) {
  return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

bool sameText(const std::optional<std::string>& kept, const char* text) {
  return kept ? text != nullptr && *kept == text : text == nullptr;
}

void apply(ControlDescription& description, FlagChange change) {
  description.flagChanges.push_back(change);
  if (change.set) {
    description.flags |= change.mask;
  } else {
    description.flags &= ~change.mask;
  }
}

}  // namespace

// The host's control-building callback. While the op declares what its
// class declared before, its controls share the class's descriptions and
// nothing is copied; the first difference gives the control a description
// of its own, holding what this op declared.
class PanelBuilder : public DD::Image::Knob_Closure {
public:
  PanelBuilder(DD::Image::Node& node, ClassEntry& entry, const Layout* layout)
      : node_(node), entry_(entry), layout_(layout) {}

  DD::Image::Knob* operator()(int type, int storage, void* pointer, const char* name, const char* label,
                              const void* /*extra*/) override {
    seal();
    if (node_.recordCalls) {
      node_.calls.push_back(std::string("declare(") + (name != nullptr ? name : "") + ")");
    }
    const ControlDescription* expected =
        layout_ != nullptr && declared_ < layout_->size() ? (*layout_)[declared_] : nullptr;
    ++declared_;
    const ControlKind kind = controlKind(type, storage);
    if (expected != nullptr && expected->type == type && expected->storage == storage &&
        sameText(expected->name, name) && sameText(expected->label, label)) {
      current_ = expected;
      own_ = nullptr;
    } else {
      own_ = &fresh();
      own_->type = type;
      own_->storage = storage;
      own_->kind = kind;
      own_->name = optionalText(name);
      own_->label = optionalText(label);
      current_ = own_;
    }
    rangeGiven_ = false;
    tooltipGiven_ = false;
    flagsGiven_ = 0;
    // A value control the op did not bind keeps its value in the host.
    if (pointer == nullptr && kind != ControlKind::Label) {
      DD::Image::Node::HostValue& value = node_.hostValues.emplace_front();
      pointer = kind == ControlKind::Text ? static_cast<void*>(&value.text) : static_cast<void*>(value.numbers);
    }
    last_ = &node_.controls.add(*current_, pointer);
    if (kind == ControlKind::Text) {
      last_->bindText();
    }
    return last_;
  }

  void range(double minimum, double maximum) override {
    const auto range = std::make_pair(minimum, maximum);
    check();
    if (own_ == nullptr && current_->range == range) {
      rangeGiven_ = true;
      return;
    }
    own().range = range;
  }

  void setFlags(std::uint64_t mask) override { flag(FlagChange{true, mask}); }
  void clearFlags(std::uint64_t mask) override { flag(FlagChange{false, mask}); }

  void tooltip(const char* text) override {
    check();
    if (own_ == nullptr && sameText(current_->tooltip, text)) {
      tooltipGiven_ = true;
      return;
    }
    own().tooltip = optionalText(text);
  }

  // Ends the last control; the first complete panel of a class becomes
  // what the class declares.
  void finish() {
    seal();
    if (layout_ == nullptr) {
      const std::lock_guard<std::mutex> lock(classes().mutex);
      if (!entry_.hasLayout) {
        entry_.layout = std::move(built_);
        entry_.hasLayout = true;
      }
    }
  }

private:
  void check() const {
    if (last_ == nullptr) {
      throw std::logic_error("control option given before any control was declared");
    }
  }

  void flag(FlagChange change) {
    check();
    if (own_ == nullptr && flagsGiven_ < current_->flagChanges.size() &&
        current_->flagChanges[flagsGiven_] == change) {
      ++flagsGiven_;
      return;
    }
    apply(own(), change);
  }

  ControlDescription& fresh() {
    const std::lock_guard<std::mutex> lock(classes().mutex);
    return entry_.descriptions.emplace_back();
  }

  // The control's own description, holding what the op has declared of it
  // so far: the shared one's options only as far as they were given again.
  ControlDescription& own() {
    if (own_ != nullptr) {
      return *own_;
    }
    const ControlDescription& shared = *current_;
    ControlDescription& copy = fresh();
    copy.type = shared.type;
    copy.storage = shared.storage;
    copy.kind = shared.kind;
    copy.name = shared.name;
    copy.label = shared.label;
    if (rangeGiven_) {
      copy.range = shared.range;
    }
    for (std::size_t i = 0; i < flagsGiven_; ++i) {
      apply(copy, shared.flagChanges[i]);
    }
    if (tooltipGiven_) {
      copy.tooltip = shared.tooltip;
    }
    own_ = &copy;
    current_ = own_;
    last_->redescribe(copy);
    return copy;
  }

  // A shared description fits only if the op gave every option it has.
  void seal() {
    if (last_ == nullptr) {
      return;
    }
    if (own_ == nullptr && ((current_->range && !rangeGiven_) || (current_->tooltip && !tooltipGiven_) ||
                            flagsGiven_ != current_->flagChanges.size())) {
      own();
    }
    if (layout_ == nullptr) {
      built_.push_back(current_);
    }
  }

  DD::Image::Node& node_;
  ClassEntry& entry_;
  const Layout* layout_;  // null for the class's first panel
  Layout built_;
  std::size_t declared_ = 0;
  Control* last_ = nullptr;
  const ControlDescription* current_ = nullptr;
  ControlDescription* own_ = nullptr;
  bool rangeGiven_ = false;
  bool tooltipGiven_ = false;
  std::size_t flagsGiven_ = 0;
};

void buildControls(DD::Image::Op& op, DD::Image::Node& node, bool hostIntensity) {
  ClassEntry* entry = nullptr;
  const Layout* layout = nullptr;
  {
    Classes& all = classes();
    const char* className = op.Class();
    const std::string_view key = className != nullptr ? className : "";
    const std::lock_guard<std::mutex> lock(all.mutex);
    auto it = all.byName.find(key);
    if (it == all.byName.end()) {
      it = all.byName.emplace(std::string(key), ClassEntry{}).first;
    }
    entry = &it->second;
    layout = entry->hasLayout ? &entry->layout : nullptr;
  }
  const std::size_t hostControls = hostIntensity ? 1 : 0;
  node.controls.reset(layout != nullptr ? layout->size() + hostControls : 0);
  for (DD::Image::Node::HostValue& value : node.hostValues) {
    releaseText(&value.text);
  }
  node.hostValues.clear();
  if (hostIntensity) {
    float* value = node.hostValues.emplace_front().numbers;
    node.controls.add(hostIntensityControl(), value).setNumber(1.0);
  }
  PanelBuilder builder(node, *entry, layout);
  op.knobs(builder);
  builder.finish();
}

}  // namespace ddimage
}  // namespace standin
