// Any text as a category text: the set holds only clean, non-empty names,
// and each piece of the text between separators is in it.
#include <lumoxindirect/logic/Categories.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string cText = text.substr(0, text.find('\0'));
  const auto names = lumoxindirect::splitCategories(cText.c_str());

  std::size_t pieces = 0;
  for (const std::string& name : names) {
    if (name.empty()) {
      std::abort();
    }
    for (const char c : name) {
      if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) {
        std::abort();
      }
    }
    pieces += 1;
  }
  // Every name comes from one piece, so there are no more names than pieces.
  std::size_t expectedMax = 0;
  bool inPiece = false;
  for (const char c : cText) {
    const bool separator = c == ' ' || c == ',';
    if (!separator && !inPiece) {
      ++expectedMax;
    }
    inPiece = !separator;
  }
  if (pieces > expectedMax || (expectedMax > 0 && pieces == 0)) {
    std::abort();
  }
  return 0;
}
