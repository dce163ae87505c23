// Any bytes as a scene script: the reader returns, and every rejection
// names a line inside the input and says what is wrong; and the script
// streamed in small reads reads as it does whole.
#include <ddhost/ScriptReader.h>
#include <ddhost/ScriptStream.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Each statement's class (or push) and line, then the error's line and
// message: what the reader makes of the script, as one text.
template <typename Reader>
std::string outline(Reader& reader) {
  std::string text;
  try {
    while (reader.next()) {
      if (const ddhost::NodeBlock* node = reader.node()) {
        text += std::string(node->className) + "@" + std::to_string(node->line) + "/" +
                std::to_string(node->knobs.size()) + "\n";
      } else {
        text += "push@" + std::to_string(reader.push()->line) + "\n";
      }
    }
  } catch (const ddhost::ScriptError& error) {
    text += "error@" + std::to_string(error.line) + ": " + error.message + "\n";
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const ddhost::ReadResult result = ddhost::readScript(bytes);
  if (const auto* error = std::get_if<ddhost::ScriptError>(&result)) {
    const auto lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    if (error->line < 1 || error->line > lines || error->message.empty() ||
        error->message.find('\n') != std::string::npos) {
      std::abort();
    }
  }
  ddhost::ScriptReader whole(bytes);
  const std::string expected = outline(whole);
  // The read size from the input itself, so the fuzzer explores it too.
  const std::size_t chunk = 1 + (size > 0 ? data[0] % 16 : 0);
  std::size_t at = 0;
  ddhost::ScriptStream stream(
      [&](char* into, std::size_t room) {
        const std::size_t n = std::min(room, size - at);
        std::memcpy(into, data + at, n);
        at += n;
        return n;
      },
      chunk);
  if (outline(stream) != expected) {
    std::abort();
  }
  return 0;
}
