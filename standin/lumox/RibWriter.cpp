#include "RibWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace standin {
namespace lumox {

namespace {

constexpr std::uint32_t kLargestSequenceNumber = 65535;

bool finite(const float* values, int n) {
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(values[i])) {
      return false;
    }
  }
  return true;
}

std::string bracketed(const float* values, int n) {
  std::string text = "[";
  for (int i = 0; i < n; ++i) {
    if (i > 0) {
      text += ' ';
    }
    text += ribFloat(values[i]);
  }
  return text + "]";
}

}  // namespace

std::string ribString(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() + 2);
  text += '"';
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte < 0x20 || byte == 0x7f) {
      const char octal[] = {'\\', static_cast<char>('0' + ((byte >> 6) & 7)),
                            static_cast<char>('0' + ((byte >> 3) & 7)), static_cast<char>('0' + (byte & 7))};
      text.append(octal, sizeof octal);
    } else {
      text += c;
    }
  }
  text += '"';
  return text;
}

std::string ribFloat(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

RibWriter::RibWriter(std::ostream& out) : out_(out) {
  out_ << "##RenderMan RIB-Structure 1.1\n" << "version 3.04\n";
}

void RibWriter::line(const std::string& text) {
  out_ << std::string(static_cast<std::size_t>(2 * depth_), ' ') << text << '\n';
}

void RibWriter::comment(const std::string& text) {
  line("# " + text);
}

void RibWriter::transformBegin() {
  line("TransformBegin");
  ++depth_;
}

void RibWriter::transformEnd() {
  if (depth_ == 0) {
    comment("TransformEnd without TransformBegin");
    return;
  }
  --depth_;
  line("TransformEnd");
}

void RibWriter::lightSource(const char* shader, int count, const LxToken tokens[], const LxPointer values[]) {
  const std::uint32_t number = ++lightSources_;
  // RIB sequence numbers stop at 65535; later RIB versions take a string.
  const std::string handle =
      number <= kLargestSequenceNumber ? std::to_string(number) : ribString(std::to_string(number));
  declaration("LightSource " + ribString(shader != nullptr ? shader : "") + " " + handle, count, tokens, values);
}

void RibWriter::shader(const char* shader, const char* handle, int count, const LxToken tokens[],
                       const LxPointer values[]) {
  declaration("Shader " + ribString(shader != nullptr ? shader : "") + " " + ribString(handle != nullptr ? handle : ""),
              count, tokens, values);
}

void RibWriter::declaration(std::string head, int count, const LxToken tokens[], const LxPointer values[]) {
  if (count < 0) {
    comment("negative parameter count " + std::to_string(count) + "; no parameters written");
    count = 0;
  }
  if (count > 0 && (tokens == nullptr || values == nullptr)) {
    comment("parameter arrays missing; no parameters written");
    count = 0;
  }
  for (int k = 0; k < count; ++k) {
    const char* token = tokens[k];
    if (token == nullptr) {
      comment("parameter " + std::to_string(k) + " skipped: null declaration");
      continue;
    }
    const std::string declared = ribString(token);
    const void* value = values[k];
    if (value == nullptr) {
      comment("parameter " + declared + " skipped: null value");
      continue;
    }
    const char* blank = std::strchr(token, ' ');
    const std::string type = blank != nullptr ? std::string(token, blank) : std::string(token);
    std::string text;
    if (type == "int") {
      text = "[" + std::to_string(*static_cast<const std::int32_t*>(value)) + "]";
    } else if (type == "float" || type == "color") {
      const int n = type == "float" ? 1 : 3;
      const auto* floats = static_cast<const float*>(value);
      if (!finite(floats, n)) {
        comment("parameter " + declared + " skipped: value is not finite");
        continue;
      }
      text = bracketed(floats, n);
    } else if (type == "string") {
      const char* string = *static_cast<const char* const*>(value);
      if (string == nullptr) {
        comment("parameter " + declared + " skipped: null string");
        continue;
      }
      text = "[" + ribString(string) + "]";
    } else {
      comment("parameter " + declared + " skipped: unknown type");
      continue;
    }
    head += ' ';
    head += declared;
    head += ' ';
    head += text;
  }
  line(head);
}

}  // namespace lumox
}  // namespace standin
