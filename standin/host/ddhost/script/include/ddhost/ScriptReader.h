// Reads the host's script syntax into a description of the scene, without
// touching any node: a pure function of the bytes, so it can be fuzzed.
//
// What it reads views the script's bytes, which must outlive it; only a
// string with escapes is copied, into storage of the reader (or the Script).
#pragma once

#include <ddhost/NameIndex.h>

#include <cstddef>
#include <cstdint>
#include <deque>
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
  // Word, String: the text (unescaped). List: what lies between the braces.
  std::string_view text;

  // A list's words; empty for a word or string.
  std::vector<std::string_view> items() const;
  // Calls `visit` with each of a list's words, in order, copying nothing.
  template <typename Visit>
  void forEachItem(Visit visit) const;
};

namespace detail {
constexpr bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}
}  // namespace detail

template <typename Visit>
void Value::forEachItem(Visit visit) const {
  if (kind != Kind::List) {
    return;
  }
  std::size_t at = 0;
  for (;;) {
    while (at < text.size() && detail::isBlank(text[at])) {
      ++at;
    }
    if (at == text.size()) {
      return;
    }
    const std::size_t start = at;
    while (at < text.size() && !detail::isBlank(text[at])) {
      ++at;
    }
    visit(text.substr(start, at - start));
  }
}

struct KnobLine {
  std::string_view name;
  Value value;
  std::size_t line = 0;
};

// `Class { knob value ... }`
struct NodeBlock {
  std::string_view className;
  std::size_t line = 0;
  std::vector<KnobLine> knobs;
};

// `push 0` (an empty slot: no name) or `push $NAME`.
struct Push {
  std::optional<std::string_view> name;
  std::size_t line = 0;
};

using Statement = std::variant<NodeBlock, Push>;

struct Script {
  Script() = default;
  // Copies would view the original's texts.
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  Script(Script&&) = default;
  Script& operator=(Script&&) = default;

  std::vector<Statement> statements;
  std::deque<std::string> texts;  // unescaped strings the statements view
};

// Lines count from 1.
struct ScriptError {
  std::size_t line = 0;
  std::string message;
};

// One statement at a time, so a scene of any size is read in constant
// memory. Throws ScriptError at the first error.
class ScriptReader {
public:
  // `bytes` may be a piece of a script that starts where a statement may,
  // on line `firstLine`.
  explicit ScriptReader(std::string_view bytes, std::size_t firstLine = 1);

  // Goes on with other bytes, as the constructor would, keeping the room
  // the reader has made; what was read before is no longer valid.
  void restart(std::string_view bytes, std::size_t firstLine);

  // Reads the next statement; false at the end of the script.
  bool next();
  // Skips blank lines and comments; false when the bytes end first.
  bool skipToStatement();
  // Whether the last call looked past the last byte: with more bytes its
  // statement (or error) could have read differently.
  bool reachedEnd() const { return reachedEnd_; }
  // Frees the unescaped strings of statements no longer used.
  void forgetTexts() { texts_.clear(); }
  // The statement read last: one of the two is set. Valid until next().
  const NodeBlock* node() const { return isNode_ ? &node_ : nullptr; }
  const Push* push() const { return isNode_ ? nullptr : &push_; }

  // Where the statement read last ends: a piece may start there.
  std::size_t offset() const { return pos_; }
  std::size_t line() const { return line_; }

  // The unescaped strings read so far, which the statements view.
  std::deque<std::string> takeTexts() { return std::move(texts_); }

private:
  [[noreturn]] static void fail(std::size_t line, std::string message);
  bool atEnd() const {
    if (pos_ < bytes_.size()) {
      return false;
    }
    reachedEnd_ = true;
    return true;
  }
  char peek() const { return bytes_[pos_]; }
  void skipBlanks();
  void skipComment();
  void skipBlankLines();
  bool atLineEnd();
  void expectLineEnd(std::string_view after);
  std::string_view readWord();
  void readPush(std::size_t line);
  void readNode(std::string_view className, std::size_t line);
  void checkRepeated(const KnobLine& knob);
  Value readValue();
  std::string_view readString();
  std::string_view readList();

  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  mutable bool reachedEnd_ = false;
  bool isNode_ = false;
  NodeBlock node_;
  Push push_;
  // The block's knobs by name once it has many; below that a scan is faster.
  NameIndex seen_;
  std::deque<std::string> texts_;
};

using ReadResult = std::variant<Script, ScriptError>;

// The whole script at once.
ReadResult readScript(std::string_view bytes);
}  // namespace ddhost
