#include "ScriptReader.h"

#include <algorithm>
#include <cstdio>

namespace ddhost {

namespace {

// Internal: unwinds the reader to readScript with the first error found.
struct Failure {
  std::size_t line;
  std::string message;
};

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && c != '\n' && !isBlank(c)) || byte == 0x7f;
}

bool endsWord(char c) {
  return isBlank(c) || c == '\n' || c == '{' || c == '}' || c == '"';
}

class Reader {
public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  Script script() {
    Script result;
    for (;;) {
      skipBlankLines();
      if (atEnd()) {
        return result;
      }
      const char c = peek();
      if (c == '}') {
        fail(line_, "unbalanced '}'");
      }
      if (c == '{') {
        fail(line_, "'{' with no node class before it");
      }
      if (c == '"') {
        fail(line_, "expected a node class or push, not a string");
      }
      const std::size_t line = line_;
      const std::string word = readWord();
      if (word == "push") {
        result.statements.emplace_back(readPush(line));
      } else {
        result.statements.emplace_back(readNode(word, line));
      }
    }
  }

private:
  [[noreturn]] static void fail(std::size_t line, std::string message) { throw Failure{line, std::move(message)}; }

  bool atEnd() const { return pos_ >= bytes_.size(); }
  char peek() const { return bytes_[pos_]; }

  void skipBlanks() {
    while (!atEnd() && isBlank(peek())) {
      ++pos_;
    }
  }

  // A '#' where a token would start comments out the rest of the line.
  void skipComment() {
    if (!atEnd() && peek() == '#') {
      while (!atEnd() && peek() != '\n') {
        ++pos_;
      }
    }
  }

  void skipBlankLines() {
    for (;;) {
      skipBlanks();
      skipComment();
      if (atEnd() || peek() != '\n') {
        return;
      }
      ++pos_;
      ++line_;
    }
  }

  bool atLineEnd() {
    skipBlanks();
    return atEnd() || peek() == '\n' || peek() == '#';
  }

  void expectLineEnd(const std::string& after) {
    if (!atLineEnd()) {
      fail(line_, "unexpected text after " + after);
    }
    skipComment();
  }

  std::string readWord() {
    const std::size_t start = pos_;
    while (!atEnd() && !endsWord(peek())) {
      if (isControl(peek())) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(peek())));
        fail(line_, std::string("unexpected control character ") + code);
      }
      ++pos_;
    }
    return std::string(bytes_.substr(start, pos_ - start));
  }

  Push readPush(std::size_t line) {
    Push push;
    push.line = line;
    if (atLineEnd() || endsWord(peek())) {
      fail(line, "push takes 0 or $NAME");
    }
    const std::string argument = readWord();
    if (argument.size() > 1 && argument[0] == '$') {
      push.name = argument.substr(1);
    } else if (argument != "0") {
      fail(line, "push takes 0 or $NAME, not " + quotedForMessage(argument));
    }
    expectLineEnd("push " + quotedForMessage(argument));
    return push;
  }

  NodeBlock readNode(const std::string& className, std::size_t line) {
    NodeBlock node;
    node.className = className;
    node.line = line;
    skipBlanks();
    if (atEnd() || peek() != '{') {
      fail(line, "expected '{' after " + quotedForMessage(className));
    }
    ++pos_;
    for (;;) {
      skipBlankLines();
      if (atEnd()) {
        fail(line, "unterminated block of " + quotedForMessage(className) + " (missing '}')");
      }
      const char c = peek();
      if (c == '}') {
        ++pos_;
        expectLineEnd("'}'");
        return node;
      }
      if (c == '{') {
        fail(line_, "unbalanced '{'");
      }
      if (c == '"') {
        fail(line_, "expected a knob name, not a string");
      }
      KnobLine knob;
      knob.line = line_;
      knob.name = readWord();
      if (atLineEnd() || peek() == '}') {
        fail(knob.line, "knob " + quotedForMessage(knob.name) + " has no value");
      }
      const bool repeated = std::any_of(node.knobs.begin(), node.knobs.end(),
                                        [&](const KnobLine& earlier) { return earlier.name == knob.name; });
      if (repeated) {
        fail(knob.line, "knob " + quotedForMessage(knob.name) + " is given twice");
      }
      knob.value = readValue();
      // The block's '}' may close on the same line as its last knob.
      if (!atLineEnd() && peek() != '}') {
        fail(line_, "unexpected text after the value of " + quotedForMessage(knob.name));
      }
      node.knobs.push_back(std::move(knob));
    }
  }

  Value readValue() {
    Value value;
    if (peek() == '"') {
      value.kind = Value::Kind::String;
      value.text = readString();
    } else if (peek() == '{') {
      value.kind = Value::Kind::List;
      value.items = readList();
    } else {
      value.text = readWord();
    }
    return value;
  }

  // Strings may span lines; only \" and \\ are escapes.
  std::string readString() {
    const std::size_t start = line_;
    ++pos_;
    std::string text;
    for (;;) {
      if (atEnd()) {
        fail(start, "unterminated string");
      }
      const char c = bytes_[pos_++];
      if (c == '"') {
        return text;
      }
      if (c == '\n') {
        ++line_;
      } else if (c == '\\') {
        if (atEnd()) {
          fail(start, "unterminated string");
        }
        const char escaped = peek();
        if (escaped != '"' && escaped != '\\') {
          fail(line_, "unknown escape in string (only \\\" and \\\\)");
        }
        ++pos_;
        text += escaped;
        continue;
      }
      text += c;
    }
  }

  // A list closes on the line it opens, so a missing '}' is reported where
  // it is missing rather than at the end of the enclosing block.
  std::vector<std::string> readList() {
    const std::size_t start = line_;
    ++pos_;
    std::vector<std::string> items;
    for (;;) {
      skipBlanks();
      if (atEnd() || peek() == '\n') {
        fail(start, "unbalanced '{' (a list closes on its own line)");
      }
      const char c = peek();
      if (c == '}') {
        ++pos_;
        return items;
      }
      if (c == '{') {
        fail(line_, "unbalanced '{' (lists do not nest)");
      }
      if (c == '"') {
        fail(line_, "a list holds words, not strings");
      }
      items.push_back(readWord());
    }
  }

  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

}  // namespace

// A pathological script must not make a pathological message.
std::string quotedForMessage(std::string_view text) {
  constexpr std::size_t kLongest = 40;
  std::string out = "\"";
  for (const char c : text.substr(0, kLongest)) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 0x20 || byte == 0x7f ? '?' : c;
  }
  if (text.size() > kLongest) {
    out += "...";
  }
  return out + "\"";
}

ReadResult readScript(std::string_view bytes) {
  try {
    return Reader(bytes).script();
  } catch (Failure& failure) {
    return ScriptError{failure.line, std::move(failure.message)};
  }
}

}  // namespace ddhost
