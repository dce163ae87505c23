#include <ddhost/ScriptReader.h>

#include <ddhost/MessageText.h>

#include <algorithm>
#include <cstdio>

namespace ddhost {

namespace {

// Up to this many knobs a block is searched for a repeated name directly.
constexpr std::size_t kScannedKnobs = 16;

using detail::isBlank;

bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && c != '\n' && !isBlank(c)) || byte == 0x7f;
}

bool endsWord(char c) {
  return isBlank(c) || c == '\n' || c == '{' || c == '}' || c == '"';
}

}  // namespace

std::vector<std::string_view> Value::items() const {
  std::vector<std::string_view> words;
  forEachItem([&words](std::string_view word) { words.push_back(word); });
  return words;
}

ScriptReader::ScriptReader(std::string_view bytes, std::size_t firstLine) : bytes_(bytes), line_(firstLine) {}

void ScriptReader::restart(std::string_view bytes, std::size_t firstLine) {
  bytes_ = bytes;
  pos_ = 0;
  line_ = firstLine;
  reachedEnd_ = false;
}

bool ScriptReader::skipToStatement() {
  reachedEnd_ = false;
  skipBlankLines();
  return !atEnd();
}

void ScriptReader::fail(std::size_t line, std::string message) {
  throw ScriptError{line, std::move(message)};
}

bool ScriptReader::next() {
  reachedEnd_ = false;
  skipBlankLines();
  if (atEnd()) {
    return false;
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
  const std::string_view word = readWord();
  if (word == "push") {
    readPush(line);
  } else {
    readNode(word, line);
  }
  return true;
}

void ScriptReader::skipBlanks() {
  while (!atEnd() && isBlank(peek())) {
    ++pos_;
  }
}

// A '#' where a token would start comments out the rest of the line.
void ScriptReader::skipComment() {
  if (!atEnd() && peek() == '#') {
    while (!atEnd() && peek() != '\n') {
      ++pos_;
    }
  }
}

void ScriptReader::skipBlankLines() {
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

bool ScriptReader::atLineEnd() {
  skipBlanks();
  return atEnd() || peek() == '\n' || peek() == '#';
}

void ScriptReader::expectLineEnd(std::string_view after) {
  if (!atLineEnd()) {
    fail(line_, "unexpected text after " + std::string(after));
  }
  skipComment();
}

std::string_view ScriptReader::readWord() {
  const std::size_t start = pos_;
  while (!atEnd() && !endsWord(peek())) {
    if (isControl(peek())) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(peek())));
      fail(line_, std::string("unexpected control character ") + code);
    }
    ++pos_;
  }
  return bytes_.substr(start, pos_ - start);
}

void ScriptReader::readPush(std::size_t line) {
  isNode_ = false;
  push_ = Push{};
  push_.line = line;
  if (atLineEnd() || endsWord(peek())) {
    fail(line, "push takes 0 or $NAME");
  }
  const std::string_view argument = readWord();
  if (argument.size() > 1 && argument[0] == '$') {
    push_.name = argument.substr(1);
  } else if (argument != "0") {
    fail(line, "push takes 0 or $NAME, not " + quoted(argument, kQuotedFromScript));
  }
  if (!atLineEnd()) {
    expectLineEnd("push " + quoted(argument, kQuotedFromScript));
  }
  skipComment();
}

void ScriptReader::readNode(std::string_view className, std::size_t line) {
  isNode_ = true;
  node_.className = className;
  node_.line = line;
  node_.knobs.clear();
  if (seen_.size() != 0) {
    // Dropped rather than cleared: clearing would cost its room, however
    // few knobs the next block has.
    seen_.reset();
  }
  skipBlanks();
  if (atEnd() || peek() != '{') {
    fail(line, "expected '{' after " + quoted(className, kQuotedFromScript));
  }
  ++pos_;
  for (;;) {
    skipBlankLines();
    if (atEnd()) {
      fail(line, "unterminated block of " + quoted(className, kQuotedFromScript) + " (missing '}')");
    }
    const char c = peek();
    if (c == '}') {
      ++pos_;
      expectLineEnd("'}'");
      return;
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
      fail(knob.line, "knob " + quoted(knob.name, kQuotedFromScript) + " has no value");
    }
    checkRepeated(knob);
    knob.value = readValue();
    // The block's '}' may close on the same line as its last knob.
    if (!atLineEnd() && peek() != '}') {
      fail(line_, "unexpected text after the value of " + quoted(knob.name, kQuotedFromScript));
    }
    node_.knobs.push_back(knob);
  }
}

void ScriptReader::checkRepeated(const KnobLine& knob) {
  const auto& knobs = node_.knobs;
  bool repeated = false;
  if (knobs.size() < kScannedKnobs) {
    repeated = std::any_of(knobs.begin(), knobs.end(), [&](const KnobLine& earlier) { return earlier.name == knob.name; });
  } else {
    const auto nameAt = [&knobs](std::uint32_t position) { return knobs[position].name; };
    if (seen_.size() == 0) {
      for (std::size_t i = 0; i < knobs.size(); ++i) {
        seen_.insert(knobs[i].name, static_cast<std::uint32_t>(i), nameAt);
      }
    }
    repeated = seen_.insert(knob.name, static_cast<std::uint32_t>(knobs.size()), nameAt) != NameIndex::npos;
  }
  if (repeated) {
    fail(knob.line, "knob " + quoted(knob.name, kQuotedFromScript) + " is given twice");
  }
}

Value ScriptReader::readValue() {
  Value value;
  if (peek() == '"') {
    value.kind = Value::Kind::String;
    value.text = readString();
  } else if (peek() == '{') {
    value.kind = Value::Kind::List;
    value.text = readList();
  } else {
    value.text = readWord();
  }
  return value;
}

// Strings may span lines; only \" and \\ are escapes. Without escapes the
// string is a view of the script.
std::string_view ScriptReader::readString() {
  const std::size_t startLine = line_;
  ++pos_;
  const std::size_t start = pos_;
  std::string* unescaped = nullptr;
  std::size_t copied = start;  // bytes before this are in `unescaped`
  for (;;) {
    if (atEnd()) {
      fail(startLine, "unterminated string");
    }
    const char c = bytes_[pos_++];
    if (c == '"') {
      if (unescaped == nullptr) {
        return bytes_.substr(start, pos_ - 1 - start);
      }
      unescaped->append(bytes_.substr(copied, pos_ - 1 - copied));
      return *unescaped;
    }
    if (c == '\n') {
      ++line_;
    } else if (c == '\\') {
      if (atEnd()) {
        fail(startLine, "unterminated string");
      }
      const char escaped = peek();
      if (escaped != '"' && escaped != '\\') {
        fail(line_, "unknown escape in string (only \\\" and \\\\)");
      }
      if (unescaped == nullptr) {
        unescaped = &texts_.emplace_back();
      }
      unescaped->append(bytes_.substr(copied, pos_ - 1 - copied));
      unescaped->push_back(escaped);
      ++pos_;
      copied = pos_;
    }
  }
}

// A list closes on the line it opens, so a missing '}' is reported where
// it is missing rather than at the end of the enclosing block.
std::string_view ScriptReader::readList() {
  const std::size_t startLine = line_;
  ++pos_;
  const std::size_t start = pos_;
  for (;;) {
    skipBlanks();
    if (atEnd() || peek() == '\n') {
      fail(startLine, "unbalanced '{' (a list closes on its own line)");
    }
    const char c = peek();
    if (c == '}') {
      ++pos_;
      return bytes_.substr(start, pos_ - 1 - start);
    }
    if (c == '{') {
      fail(line_, "unbalanced '{' (lists do not nest)");
    }
    if (c == '"') {
      fail(line_, "a list holds words, not strings");
    }
    readWord();
  }
}

ReadResult readScript(std::string_view bytes) {
  try {
    Script script;
    ScriptReader reader(bytes);
    while (reader.next()) {
      if (const NodeBlock* node = reader.node()) {
        script.statements.emplace_back(*node);
      } else {
        script.statements.emplace_back(*reader.push());
      }
    }
    script.texts = reader.takeTexts();
    return script;
  } catch (ScriptError& error) {
    return std::move(error);
  }
}

}  // namespace ddhost
