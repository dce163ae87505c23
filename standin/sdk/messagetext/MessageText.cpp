#include <standin/MessageText.h>

namespace standin {

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0: no overlong forms,
// no surrogates, nothing past U+10FFFF.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(k) < 0x80 || byte(k) > 0xBF) {
      return 0;
    }
  }
  return length;
}

// Characters that are invisible, or that reorder or end lines, though they
// are not controls: Unicode 15.0's format characters (Cf: a byte order
// mark, the bidirectional overrides and isolates, zero-width spaces and
// joiners, ...) and its line and paragraph separators (Zl, Zp). Sorted,
// first and last of each run.
constexpr char32_t kHidden[][2] = {
    {0xAD, 0xAD},       {0x600, 0x605},     {0x61C, 0x61C},   {0x6DD, 0x6DD},     {0x70F, 0x70F},
    {0x890, 0x891},     {0x8E2, 0x8E2},     {0x180E, 0x180E}, {0x200B, 0x200F},   {0x2028, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

// The code point of a valid sequence of `length` bytes at `at`.
char32_t codePoint(std::string_view text, std::size_t at, std::size_t length) {
  static const unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t point = static_cast<unsigned char>(text[at]) & kLeadBits[length];
  for (std::size_t k = 1; k < length; ++k) {
    point = (point << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
  }
  return point;
}

bool hidden(char32_t point) {
  for (const auto& run : kHidden) {
    if (point < run[0]) {
      return false;
    }
    if (point <= run[1]) {
      return true;
    }
  }
  return false;
}

void appendHex(std::string& out, unsigned char byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 15];
}

void appendEscaped(std::string& out, std::string_view text, bool inQuotes) {
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    const std::size_t length = sequenceLength(text, at);
    if (length == 0) {
      appendHex(out, byte);
      ++at;
    } else if (length > 1 && (codePoint(text, at, length) < 0xA0 || hidden(codePoint(text, at, length)))) {
      // C1 controls, such as the terminal's one-byte escape U+009B, and the
      // characters that hide or reorder text, byte by byte.
      for (std::size_t k = 0; k < length; ++k) {
        appendHex(out, static_cast<unsigned char>(text[at + k]));
      }
      at += length;
    } else if (length > 1) {
      out.append(text.substr(at, length));
      at += length;
    } else {
      if (c == '\n') {
        out += "\\n";
      } else if (c == '\t') {
        out += "\\t";
      } else if (c == '\r') {
        out += "\\r";
      } else if (byte < 0x20 || byte == 0x7f) {
        appendHex(out, byte);
      } else if (inQuotes && (c == '"' || c == '\\')) {
        out += '\\';
        out += c;
      } else {
        out += c;
      }
      ++at;
    }
  }
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscaped(out, text, false);
  return out;
}

std::string quoted(std::string_view text, std::size_t longest) {
  std::size_t cut = text.size();
  if (cut > longest) {
    cut = longest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
      --cut;
    }
  }
  std::string out = "\"";
  appendEscaped(out, text.substr(0, cut), true);
  if (cut < text.size()) {
    out += "...";
  }
  return out + "\"";
}

}  // namespace standin
