#include "RibWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace standin {
namespace lumox {

namespace {

constexpr std::uint32_t kLargestSequenceNumber = 65535;
// Handed to the stream in blocks of about this size.
constexpr std::size_t kBlock = 64 * 1024;

enum class Type { Int, Float, Color, String, Unknown };

// Why a parameter is left out of the call's line.
enum class Skip { None, NullDeclaration, NullValue, NotFinite, NullString, UnknownType };

struct Classification {
  Type type = Type::Unknown;
  Skip skip = Skip::None;
};

Type typeOf(const char* token) {
  const char* blank = std::strchr(token, ' ');
  const std::string_view type = blank != nullptr ? std::string_view(token, static_cast<std::size_t>(blank - token))
                                                 : std::string_view(token);
  if (type == "int") {
    return Type::Int;
  }
  if (type == "float") {
    return Type::Float;
  }
  if (type == "color") {
    return Type::Color;
  }
  if (type == "string") {
    return Type::String;
  }
  return Type::Unknown;
}

bool finite(const float* values, int n) {
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(values[i])) {
      return false;
    }
  }
  return true;
}

Classification classify(const char* token, const void* value) {
  Classification p;
  if (token == nullptr) {
    p.skip = Skip::NullDeclaration;
    return p;
  }
  if (value == nullptr) {
    p.skip = Skip::NullValue;
    return p;
  }
  p.type = typeOf(token);
  switch (p.type) {
    case Type::Int:
      break;
    case Type::Float:
    case Type::Color:
      if (!finite(static_cast<const float*>(value), p.type == Type::Float ? 1 : 3)) {
        p.skip = Skip::NotFinite;
      }
      break;
    case Type::String:
      if (*static_cast<const char* const*>(value) == nullptr) {
        p.skip = Skip::NullString;
      }
      break;
    case Type::Unknown:
      p.skip = Skip::UnknownType;
      break;
  }
  return p;
}

const char* reason(Skip skip) {
  switch (skip) {
    case Skip::NullValue:
      return " skipped: null value";
    case Skip::NotFinite:
      return " skipped: value is not finite";
    case Skip::NullString:
      return " skipped: null string";
    case Skip::UnknownType:
      return " skipped: unknown type";
    case Skip::None:
    case Skip::NullDeclaration:
      break;
  }
  return "";
}


template <typename Number>
void appendNumber(std::string& text, Number value) {
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, result.ptr);
}

void appendFloats(std::string& text, const float* values, int n) {
  text += '[';
  for (int i = 0; i < n; ++i) {
    if (i > 0) {
      text += ' ';
    }
    appendNumber(text, values[i]);
  }
  text += ']';
}

bool needsEscape(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return c == '"' || c == '\\' || byte < 0x20 || byte == 0x7f;
}

}  // namespace

// Runs of plain bytes go in whole.
void appendRibString(std::string& text, std::string_view bytes) {
  text += '"';
  std::size_t plain = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (!needsEscape(c)) {
      continue;
    }
    text.append(bytes.data() + plain, i - plain);
    plain = i + 1;
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else {
      const char octal[] = {'\\', static_cast<char>('0' + ((byte >> 6) & 7)),
                            static_cast<char>('0' + ((byte >> 3) & 7)), static_cast<char>('0' + (byte & 7))};
      text.append(octal, sizeof octal);
    }
  }
  text.append(bytes.data() + plain, bytes.size() - plain);
  text += '"';
}

std::string ribFloat(float value) {
  std::string text;
  appendNumber(text, value);
  return text;
}

RibWriter::RibWriter(std::ostream& out) : out_(out) {
  buffer_.reserve(kBlock + 4096);
  buffer_ += "##RenderMan RIB-Structure 1.1\nversion 3.04\n";
}

void RibWriter::flush() {
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  buffer_.clear();
  out_.flush();
}

void RibWriter::drainIfFull() {
  if (buffer_.size() >= kBlock) {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
  }
}

void RibWriter::indent() {
  buffer_.append(static_cast<std::size_t>(2 * depth_), ' ');
}

void RibWriter::endLine() {
  buffer_ += '\n';
  drainIfFull();
}

void RibWriter::beginComment() {
  indent();
  buffer_ += "# ";
}

void RibWriter::line(std::string_view text) {
  indent();
  buffer_ += text;
  endLine();
}

void RibWriter::transformBegin() {
  line("TransformBegin");
  ++depth_;
}

void RibWriter::transformEnd() {
  if (depth_ == 0) {
    line("# TransformEnd without TransformBegin");
    return;
  }
  --depth_;
  line("TransformEnd");
}

template <typename Head>
void RibWriter::declaration(const Head& head, int count, const LxToken tokens[], const LxPointer values[]) {
  if (count < 0) {
    line("# negative parameter count " + std::to_string(count) + "; no parameters written");
    count = 0;
  }
  if (count > 0 && (tokens == nullptr || values == nullptr)) {
    line("# parameter arrays missing; no parameters written");
    count = 0;
  }
  for (int k = 0; k < count; ++k) {
    const Skip skip = classify(tokens[k], values[k]).skip;
    if (skip == Skip::None) {
      continue;
    }
    beginComment();
    buffer_ += "parameter ";
    if (skip == Skip::NullDeclaration) {
      appendNumber(buffer_, k);
      buffer_ += " skipped: null declaration";
    } else {
      appendRibString(buffer_, tokens[k]);
      buffer_ += reason(skip);
    }
    endLine();
  }
  indent();
  head();
  for (int k = 0; k < count; ++k) {
    const Classification p = classify(tokens[k], values[k]);
    if (p.skip != Skip::None) {
      continue;
    }
    buffer_ += ' ';
    appendRibString(buffer_, tokens[k]);
    buffer_ += ' ';
    const void* value = values[k];
    switch (p.type) {
      case Type::Int:
        buffer_ += '[';
        appendNumber(buffer_, *static_cast<const std::int32_t*>(value));
        buffer_ += ']';
        break;
      case Type::Float:
      case Type::Color:
        appendFloats(buffer_, static_cast<const float*>(value), p.type == Type::Float ? 1 : 3);
        break;
      case Type::String:
        buffer_ += '[';
        appendRibString(buffer_, *static_cast<const char* const*>(value));
        buffer_ += ']';
        break;
      case Type::Unknown:
        break;
    }
  }
  endLine();
}

void RibWriter::lightSource(const char* shader, int count, const LxToken tokens[], const LxPointer values[]) {
  const std::uint32_t number = ++lightSources_;
  const auto head = [&] {
    buffer_ += "LightSource ";
    appendRibString(buffer_, shader != nullptr ? shader : "");
    buffer_ += ' ';
    // RIB sequence numbers stop at 65535; later RIB versions take a string.
    if (number <= kLargestSequenceNumber) {
      appendNumber(buffer_, number);
    } else {
      buffer_ += '"';
      appendNumber(buffer_, number);
      buffer_ += '"';
    }
  };
  declaration(head, count, tokens, values);
}

void RibWriter::shader(const char* shader, const char* handle, int count, const LxToken tokens[],
                       const LxPointer values[]) {
  const auto head = [&] {
    buffer_ += "Shader ";
    appendRibString(buffer_, shader != nullptr ? shader : "");
    buffer_ += ' ';
    appendRibString(buffer_, handle != nullptr ? handle : "");
  };
  declaration(head, count, tokens, values);
}

}  // namespace lumox
}  // namespace standin
