// Any bytes written as a RIB string read back as the same bytes.
#include <standin/lumox/RibOutput.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// A RIB reader's view of a quoted string: backslash escapes of one
// character or three octal digits.
bool parse(const std::string& rib, std::string& bytes) {
  if (rib.size() < 2 || rib.front() != '"' || rib.back() != '"') {
    return false;
  }
  const std::string body = rib.substr(1, rib.size() - 2);
  const auto octal = [](char c) { return c >= '0' && c <= '7'; };
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || byte < 0x20 || byte == 0x7f) {
      return false;  // never raw inside a RIB string
    }
    if (c != '\\') {
      bytes += c;
      continue;
    }
    if (++i == body.size()) {
      return false;
    }
    const char e = body[i];
    if (octal(e)) {
      if (i + 2 >= body.size() || !octal(body[i + 1]) || !octal(body[i + 2])) {
        return false;
      }
      bytes += static_cast<char>((e - '0') * 64 + (body[i + 1] - '0') * 8 + (body[i + 2] - '0'));
      i += 2;
    } else if (e == '"' || e == '\\') {
      bytes += e;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string rib = standin::lumox::ribString(input);
  std::string back;
  if (!parse(rib, back) || back != input) {
    std::abort();
  }
  return 0;
}
