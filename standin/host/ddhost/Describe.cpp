#include "Describe.h"

#include <ddhost/MessageText.h>

#include <standin/ddimage/Controls.h>
#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Node.h>
#include <standin/ddimage/Registry.h>

#include <DDImage/Knobs.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <stdexcept>
#include <vector>

namespace ddhost {

namespace {

using standin::ddimage::Control;
using standin::ddimage::ControlKind;

constexpr const char* kNone = "-";

template <typename Number>
std::string number(Number value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string typeOf(const Control& control) {
  std::string word;
  switch (control.kind()) {
    case ControlKind::Integer:
      word = "integer";
      break;
    case ControlKind::Float:
      word = "float";
      break;
    case ControlKind::Color:
      word = "color";
      break;
    case ControlKind::Text:
      word = "text";
      break;
    case ControlKind::Label:
      word = control.label() ? "label" : "separator";
      break;
    case ControlKind::Unknown:
      word = "unknown";
      break;
  }
  return word + " (" + std::to_string(control.type()) + ", " + std::to_string(control.storage()) + ")";
}

std::string defaultOf(const Control& control) {
  switch (control.kind()) {
    case ControlKind::Integer:
      return number(control.integer());
    case ControlKind::Float:
      return number(control.number());
    case ControlKind::Color: {
      const std::vector<float> rgb = control.colorValue();
      return number(rgb[0]) + " " + number(rgb[1]) + " " + number(rgb[2]);
    }
    case ControlKind::Text:
      return quoted(control.text());
    case ControlKind::Label:
    case ControlKind::Unknown:
      break;
  }
  return kNone;
}

std::string rangeOf(const Control& control) {
  const auto range = control.range();
  return range ? number(range->first) + " to " + number(range->second) : kNone;
}

std::string flagsOf(const Control& control) {
  static const std::pair<std::uint64_t, const char*> kNamed[] = {
      {DD::Image::FORCE_RANGE, "force-range"},
      {DD::Image::BIPOLAR, "bipolar"},
      {DD::Image::LOG_SLIDER, "log-slider"},
  };
  std::uint64_t rest = control.flags();
  std::string words;
  const auto add = [&words](const std::string& word) { words += (words.empty() ? "" : ",") + word; };
  for (const auto& [bit, name] : kNamed) {
    if ((rest & bit) != 0) {
      add(name);
      rest &= ~bit;
    }
  }
  if (rest != 0) {
    char hex[24];
    const auto result = std::to_chars(hex, hex + sizeof hex, rest, 16);
    add("0x" + std::string(hex, result.ptr));
  }
  if (!control.isVisible()) {
    add("hidden");
  }
  return words.empty() ? kNone : words;
}

using Row = std::array<std::string, 7>;

Row rowOf(const Control& control) {
  return {control.hasName() ? control.name() : kNone,
          control.label() ? quoted(*control.label()) : kNone,
          typeOf(control),
          defaultOf(control),
          rangeOf(control),
          flagsOf(control),
          control.tooltip() ? quoted(*control.tooltip()) : kNone};
}

// Columns padded to their widest entry; the last one, the tooltip, is not.
std::string laidOut(const std::vector<Row>& rows) {
  std::array<std::size_t, 7> widths{};
  for (const Row& row : rows) {
    for (std::size_t column = 0; column + 1 < row.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string out;
  for (const Row& row : rows) {
    for (std::size_t column = 0; column + 1 < row.size(); ++column) {
      out += row[column];
      out.append(widths[column] - row[column].size() + 2, ' ');
    }
    out += row.back();
    out += '\n';
  }
  return out;
}

std::string knownClasses() {
  std::vector<std::string> names = standin::ddimage::registeredClasses();
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  std::string list;
  for (const std::string& name : names) {
    list += (list.empty() ? "" : ", ") + name;
  }
  return list;
}

}  // namespace

std::string describeClass(const std::string& className, const std::string& whereClassesComeFrom) {
  if (standin::ddimage::findDescription(className) == nullptr) {
    throw std::invalid_argument("unknown node class " + quoted(className) + "; known classes: " + knownClasses() + " (" +
                                whereClassesComeFrom + ")");
  }
  standin::ddimage::Graph graph;
  DD::Image::Op* op = graph.create(className);
  // Only what the class itself declares, without the host's own controls.
  graph.buildPanel(op, false);

  std::vector<Row> rows = {{"name", "label", "type", "default", "range", "flags", "tooltip"}};
  for (const auto& control : standin::ddimage::nodeOf(op).controls) {
    rows.push_back(rowOf(control));
  }
  return laidOut(rows);
}

}  // namespace ddhost
