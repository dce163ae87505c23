#include "Scene.h"

#include "Numbers.h"

#include <standin/ddimage/Controls.h>
#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Node.h>
#include <standin/ddimage/Registry.h>

#include <DDImage/AxisOp.h>
#include <DDImage/Matrix4.h>
#include <DDImage/Op.h>

#include <algorithm>
#include <limits>
#include <map>
#include <unordered_map>

namespace ddhost {

namespace {

using DD::Image::Op;
using standin::ddimage::Control;
using standin::ddimage::ControlKind;

std::string quoted(const std::string& text) {
  return quotedForMessage(text);
}

// What the value was, for messages: the scalar text, or the list.
std::string written(const Value& value) {
  if (value.kind != Value::Kind::List) {
    return quoted(value.text);
  }
  std::string text;
  for (const std::string& item : value.items) {
    text += (text.empty() ? "" : " ") + item;
  }
  const std::string inner = quoted(text);
  return "{" + inner.substr(1, inner.size() - 2) + "}";
}

[[noreturn]] void wrongKind(const KnobLine& knob, const std::string& wanted) {
  throw SceneError(knob.line, "knob " + knob.name + " takes " + wanted + ", not " + written(knob.value));
}

// Node names are what `push $NAME` refers to and what the renderer is given
// as handles, so they keep to the host's identifier rule.
bool validName(const std::string& name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) {
    return false;
  }
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

const std::string& scalar(const KnobLine& knob, const std::string& wanted) {
  if (knob.value.kind == Value::Kind::List) {
    wrongKind(knob, wanted);
  }
  return knob.value.text;
}

std::int32_t integerValue(const KnobLine& knob) {
  const auto value = parseInteger(scalar(knob, "an integer"));
  if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
      *value > std::numeric_limits<std::int32_t>::max()) {
    wrongKind(knob, "an integer");
  }
  return static_cast<std::int32_t>(*value);
}

float numberValue(const KnobLine& knob) {
  const auto value = parseFloat(scalar(knob, "a number"));
  if (!value) {
    wrongKind(knob, "a number");
  }
  return *value;
}

// `{X Y Z}`, or for a color also one number for all three.
std::vector<float> triple(const KnobLine& knob, bool oneForAll, const std::string& wanted) {
  std::vector<std::string> texts = knob.value.items;
  if (knob.value.kind != Value::Kind::List) {
    texts = {knob.value.text};
  }
  if (texts.size() == 1 && oneForAll) {
    texts.assign(3, texts[0]);
  }
  if (texts.size() != 3) {
    wrongKind(knob, wanted);
  }
  std::vector<float> values;
  for (const std::string& text : texts) {
    const auto value = parseFloat(text);
    if (!value) {
      wrongKind(knob, wanted);
    }
    values.push_back(*value);
  }
  return values;
}

void setControl(Control& control, const KnobLine& knob) {
  switch (control.kind()) {
    case ControlKind::Integer:
      control.setInteger(integerValue(knob));
      return;
    case ControlKind::Float:
      control.setNumber(numberValue(knob));
      return;
    case ControlKind::Color: {
      const std::vector<float> rgb = triple(knob, true, "a color {R G B} or one number");
      control.setColor(rgb[0], rgb[1], rgb[2]);
      return;
    }
    case ControlKind::Text: {
      // A text with blanks is written in double quotes.
      const std::string& text = scalar(knob, "a text");
      if (text.find('\0') != std::string::npos) {
        wrongKind(knob, "a text without NUL bytes");
      }
      control.setText(text);
      return;
    }
    case ControlKind::Label:
    case ControlKind::Unknown:
      break;
  }
  throw SceneError(knob.line, "knob " + knob.name + " cannot be set from a script");
}

class Builder {
public:
  explicit Builder(standin::ddimage::Graph& graph) : graph_(graph) {}

  std::vector<SceneNode> build(const Script& script) {
    for (const Statement& statement : script.statements) {
      if (const auto* push = std::get_if<Push>(&statement)) {
        pushSlot(*push);
      } else {
        addNode(std::get<NodeBlock>(statement));
      }
    }
    return std::move(nodes_);
  }

private:
  void pushSlot(const Push& push) {
    if (!push.name) {
      stack_.push_back(nullptr);
      return;
    }
    Op* op = find(*push.name);
    if (op == nullptr) {
      throw SceneError(push.line, "push of unknown node " + quoted("$" + *push.name));
    }
    stack_.push_back(op);
  }

  // Names the script has given so far; the graph's own lookup is a scan,
  // which would make reading a script quadratic in its length.
  Op* find(const std::string& name) const {
    const auto it = byName_.find(name);
    return it != byName_.end() ? it->second : nullptr;
  }

  const KnobLine* knobNamed(const NodeBlock& block, const std::string& name) {
    for (const KnobLine& knob : block.knobs) {
      if (knob.name == name) {
        return &knob;
      }
    }
    return nullptr;
  }

  // The default name is the class and the next free counter; a name the
  // script gave explicitly to an earlier node is skipped, not reused.
  std::string defaultName(const std::string& className) {
    for (;;) {
      std::string name = className + std::to_string(++counters_[className]);
      if (find(name) == nullptr) {
        return name;
      }
    }
  }

  std::string nameOf(const NodeBlock& block) {
    const KnobLine* knob = knobNamed(block, "name");
    if (knob == nullptr) {
      return defaultName(block.className);
    }
    const std::string& name = scalar(*knob, "a node name");
    if (!validName(name)) {
      wrongKind(*knob, "a node name (letters, digits and underscores, not starting with a digit)");
    }
    if (find(name) != nullptr) {
      throw SceneError(knob->line, "duplicate node name " + quoted(name));
    }
    return name;
  }

  void addNode(const NodeBlock& block) {
    if (standin::ddimage::findDescription(block.className) == nullptr) {
      throw SceneError(block.line, "unknown node class " + quoted(block.className));
    }
    const std::string name = nameOf(block);
    Op* op = nullptr;
    try {
      op = graph_.create(block.className, name);
      byName_.emplace(name, op);
      graph_.buildPanel(op);
    } catch (const std::exception& error) {
      throw SceneError(block.line, "cannot create " + quoted(name) + ": " + error.what());
    }
    nodes_.push_back(SceneNode{op, block.line});

    int inputs = std::max(0, op->maximum_inputs());
    for (const KnobLine& knob : block.knobs) {
      if (knob.name == "inputs") {
        inputs = inputCount(op, knob);
      } else {
        setKnob(op, knob);
      }
    }
    connectFromStack(op, name, inputs, block.line);
    stack_.push_back(op);
  }

  int inputCount(Op* op, const KnobLine& knob) {
    const std::int32_t count = integerValue(knob);
    const int most = std::max(0, op->maximum_inputs());
    if (count < 0 || count > most) {
      throw SceneError(knob.line, "knob inputs takes 0 to " + std::to_string(most) + " for " + op->Class() +
                                      ", not " + std::to_string(count));
    }
    return count;
  }

  void setKnob(Op* op, const KnobLine& knob) {
    if (knob.name == "name") {
      return;  // given to the node at creation
    }
    if (knob.name == "selected") {
      const std::string& text = scalar(knob, "true or false");
      if (text != "true" && text != "false") {
        wrongKind(knob, "true or false");
      }
      standin::ddimage::nodeOf(op).selected = text == "true";
      return;
    }
    if (knob.name == "xpos" || knob.name == "ypos") {
      numberValue(knob);  // the node graph's layout: checked, not used
      return;
    }
    auto* axis = dynamic_cast<DD::Image::AxisOp*>(op);
    if (knob.name == "translate" && axis != nullptr) {
      const std::vector<float> xyz = triple(knob, false, "{X Y Z}");
      axis->set_matrix(DD::Image::Matrix4::translation(xyz[0], xyz[1], xyz[2]));
      return;
    }
    Control* control = standin::ddimage::findControl(op, knob.name);
    if (control == nullptr) {
      throw SceneError(knob.line, "unknown knob " + quoted(knob.name) + " for " + op->Class());
    }
    setControl(*control, knob);
  }

  void connectFromStack(Op* op, const std::string& name, int inputs, std::size_t line) {
    for (int index = 0; index < inputs && !stack_.empty(); ++index) {
      Op* source = stack_.back();
      stack_.pop_back();
      if (source == nullptr) {
        continue;
      }
      if (!op->test_input(index, source)) {
        const std::string& sourceName = standin::ddimage::nodeOf(source).name;
        throw SceneError(line, quoted(name) + " cannot take " + quoted(sourceName) + " (" + source->Class() +
                                   ") as input " + std::to_string(index));
      }
      graph_.connect(op, index, source);
    }
  }

  standin::ddimage::Graph& graph_;
  std::unordered_map<std::string, Op*> byName_;
  std::vector<SceneNode> nodes_;
  std::vector<Op*> stack_;
  std::map<std::string, int> counters_;
};

}  // namespace

std::vector<SceneNode> buildScene(const Script& script, standin::ddimage::Graph& graph) {
  return Builder(graph).build(script);
}

void validateScene(const std::vector<SceneNode>& nodes) {
  for (const SceneNode& node : nodes) {
    try {
      node.op->validate(true);
    } catch (const std::exception& error) {
      throw SceneError(node.line, standin::ddimage::nodeOf(node.op).name + ": validation failed: " + error.what());
    }
  }
}

}  // namespace ddhost
