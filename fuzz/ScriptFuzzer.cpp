// Any bytes as a scene script: the reader returns, and every rejection
// names a line inside the input and says what is wrong.
#include <ddhost/ScriptReader.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

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
  return 0;
}
