// Reads the host's script syntax into a description of the scene, without
// touching any node: a pure function of the bytes, so it can be fuzzed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ddhost {

// A knob value as written: a word, a double-quoted string, or a braced list
// of words. Words and strings differ only in how they were quoted.
struct Value {
  enum class Kind { Word, String, List };
  Kind kind = Kind::Word;
  std::string text;                // Word, String
  std::vector<std::string> items;  // List
};

struct KnobLine {
  std::string name;
  Value value;
  std::size_t line = 0;
};

// `Class { knob value ... }`
struct NodeBlock {
  std::string className;
  std::size_t line = 0;
  std::vector<KnobLine> knobs;
};

// `push 0` (an empty slot: no name) or `push $NAME`.
struct Push {
  std::optional<std::string> name;
  std::size_t line = 0;
};

using Statement = std::variant<NodeBlock, Push>;

struct Script {
  std::vector<Statement> statements;
};

// Lines count from 1.
struct ScriptError {
  std::size_t line = 0;
  std::string message;
};

using ReadResult = std::variant<Script, ScriptError>;

ReadResult readScript(std::string_view bytes);

// `text` quoted for a one-line message: cut short, control bytes as '?'.
std::string quotedForMessage(std::string_view text);

}  // namespace ddhost
