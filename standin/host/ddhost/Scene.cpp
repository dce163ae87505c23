#include "Scene.h"

#include "Numbers.h"

#include <ddhost/MessageText.h>
#include <ddhost/NameIndex.h>

#include <standin/ddimage/Controls.h>
#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Node.h>
#include <standin/ddimage/Registry.h>

#include <DDImage/AxisOp.h>
#include <DDImage/Matrix4.h>
#include <DDImage/Op.h>

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <new>

namespace ddhost {

namespace {

using DD::Image::Op;
using standin::ddimage::Control;
using standin::ddimage::ControlKind;

// What a message quotes of the script's text.
std::string shown(std::string_view text) {
  return quoted(text, kQuotedFromScript);
}

// What the value was, for messages: the scalar text, or the list.
std::string written(const Value& value) {
  if (value.kind != Value::Kind::List) {
    return shown(value.text);
  }
  std::string text;
  value.forEachItem([&text](std::string_view item) {
    if (!text.empty()) {
      text += ' ';
    }
    text += item;
  });
  const std::string inner = shown(text);
  return "{" + inner.substr(1, inner.size() - 2) + "}";
}

[[noreturn]] void wrongKind(const KnobLine& knob, const std::string& wanted) {
  throw SceneError(knob.line, "knob " + std::string(knob.name) + " takes " + wanted + ", not " + written(knob.value));
}

// Node names are what `push $NAME` refers to and what the renderer is given
// as handles, so they keep to the host's identifier rule.
bool validName(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) {
    return false;
  }
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

std::string_view scalar(const KnobLine& knob, const char* wanted) {
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

// A float of `text`, or the knob refused with the bound it breaks;
// `which` joins the bound to what is wanted ("that is", "each").
float floatOf(const KnobLine& knob, std::string_view text, const std::string& wanted, const char* which) {
  const FloatReading reading = readFloat(text);
  switch (reading.problem) {
    case FloatProblem::None:
      return reading.value;
    case FloatProblem::NotANumber:
      wrongKind(knob, wanted);
    case FloatProblem::TooLarge:
    case FloatProblem::TooSmall:
      break;
  }
  wrongKind(knob, wanted + which + floatBound(reading.problem, true));
}

float numberValue(const KnobLine& knob) {
  return floatOf(knob, scalar(knob, "a number"), "a number", " that is ");
}

// `{X Y Z}`, or for a color also one number for all three.
std::array<float, 3> triple(const KnobLine& knob, bool oneForAll, const char* wanted) {
  std::array<std::string_view, 3> texts;
  std::size_t count = 0;
  if (knob.value.kind != Value::Kind::List) {
    texts[count++] = knob.value.text;
  } else {
    knob.value.forEachItem([&](std::string_view item) {
      if (count < texts.size()) {
        texts[count] = item;
      }
      ++count;
    });
  }
  if (count == 1 && oneForAll) {
    texts.fill(texts[0]);
    count = 3;
  }
  if (count != 3) {
    wrongKind(knob, wanted);
  }
  std::array<float, 3> values{};
  for (std::size_t i = 0; i < 3; ++i) {
    values[i] = floatOf(knob, texts[i], wanted, ", each ");
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
      const std::array<float, 3> rgb = triple(knob, true, "a color {R G B} or one number");
      control.setColor(rgb[0], rgb[1], rgb[2]);
      return;
    }
    case ControlKind::Text: {
      // A text with blanks is written in double quotes.
      const std::string_view text = scalar(knob, "a text");
      if (text.find('\0') != std::string_view::npos) {
        wrongKind(knob, "a text without NUL bytes");
      }
      control.setText(std::string(text));
      return;
    }
    case ControlKind::Label:
    case ControlKind::Unknown:
      break;
  }
  throw SceneError(knob.line, "knob " + std::string(knob.name) + " cannot be set from a script");
}

}  // namespace

class SceneBuilder::Builder {
public:
  Builder(standin::ddimage::Graph& graph, std::string whereClassesComeFrom)
      : graph_(graph), whereClassesComeFrom_(std::move(whereClassesComeFrom)) {}

  std::vector<SceneNode> finish() { return std::move(nodes_); }

  void pushSlot(const Push& push) {
    if (!push.name) {
      stack_.push_back(nullptr);
      return;
    }
    Op* op = find(*push.name);
    if (op == nullptr) {
      throw SceneError(push.line, "push of unknown node " + shown("$" + std::string(*push.name)));
    }
    stack_.push_back(op);
  }

  const std::string& nameAt(std::uint32_t position) const {
    return standin::ddimage::nodeOf(nodes_[position].op).name;
  }

  // Names the script has given so far; the graph's own lookup is a scan,
  // which would make reading a script quadratic in its length.
  Op* find(std::string_view name) const {
    const std::uint32_t position =
        byName_.find(name, [this](std::uint32_t at) -> const std::string& { return nameAt(at); });
    return position != NameIndex::npos ? nodes_[position].op : nullptr;
  }

  static const KnobLine* knobNamed(const NodeBlock& block, std::string_view name) {
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
    auto counter = counters_.find(className);
    if (counter == counters_.end()) {
      counter = counters_.emplace(className, 0).first;
    }
    for (;;) {
      std::string name = className + std::to_string(++counter->second);
      if (find(name) == nullptr) {
        return name;
      }
    }
  }

  std::string nameOf(const NodeBlock& block, const std::string& className) {
    const KnobLine* knob = knobNamed(block, "name");
    if (knob == nullptr) {
      return defaultName(className);
    }
    const std::string_view name = scalar(*knob, "a node name");
    if (!validName(name)) {
      wrongKind(*knob, "a node name (letters, digits and underscores, not starting with a digit)");
    }
    if (find(name) != nullptr) {
      throw SceneError(knob->line, "duplicate node name " + shown(name));
    }
    return std::string(name);
  }

  void addNode(const NodeBlock& block) {
    const std::string className(block.className);
    if (standin::ddimage::findDescription(className) == nullptr) {
      throw SceneError(block.line, "unknown node class " + shown(className) + " (" + whereClassesComeFrom_ + ")");
    }
    const std::string name = nameOf(block, className);
    Op* op = nullptr;
    try {
      op = graph_.create(className, name);
      if (op->Class() == nullptr) {
        // Every message about the node would name its class.
        const char* plugin = standin::ddimage::findDescription(className)->path;
        const std::string from = plugin != nullptr ? "plug-in " + std::string(plugin) : "built in";
        throw SceneError(block.line, "its class " + shown(className) + " (" + from + ") names no class: Class() returns null");
      }
      nodes_.push_back(SceneNode{op, block.line});
      byName_.insert(name, static_cast<std::uint32_t>(nodes_.size() - 1),
                     [this](std::uint32_t at) -> const std::string& { return nameAt(at); });
      graph_.buildPanel(op);
    } catch (const std::bad_alloc&) {
      throw;  // said as running out of memory, not as the node's fault
    } catch (const std::exception& error) {
      throw SceneError(block.line, "cannot create " + shown(name) + ": " + error.what());
    }

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
      const std::string_view text = scalar(knob, "true or false");
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
    if (knob.name == "translate") {
      if (auto* axis = dynamic_cast<DD::Image::AxisOp*>(op)) {
        const std::array<float, 3> xyz = triple(knob, false, "{X Y Z}");
        axis->set_matrix(DD::Image::Matrix4::translation(xyz[0], xyz[1], xyz[2]));
        return;
      }
    }
    Control* control = standin::ddimage::findControl(op, knob.name);
    if (control == nullptr) {
      throw SceneError(knob.line, "unknown knob " + shown(knob.name) + " for " + op->Class());
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
        throw SceneError(line, shown(name) + " cannot take " + shown(sourceName) + " (" + source->Class() +
                                   ") as input " + std::to_string(index));
      }
      graph_.connect(op, index, source);
    }
  }

private:
  standin::ddimage::Graph& graph_;
  std::string whereClassesComeFrom_;
  NameIndex byName_;  // positions in nodes_
  std::vector<SceneNode> nodes_;
  std::vector<Op*> stack_;
  std::map<std::string, int, std::less<>> counters_;
};

SceneBuilder::SceneBuilder(standin::ddimage::Graph& graph, std::string whereClassesComeFrom)
    : builder_(std::make_unique<Builder>(graph, std::move(whereClassesComeFrom))) {}

SceneBuilder::~SceneBuilder() = default;

void SceneBuilder::add(const NodeBlock& node) {
  builder_->addNode(node);
}

void SceneBuilder::add(const Push& push) {
  builder_->pushSlot(push);
}

std::vector<SceneNode> SceneBuilder::finish() {
  return builder_->finish();
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
