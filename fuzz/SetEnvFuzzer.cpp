// Arbitrary names and values: a name that is no name is refused and the
// environment stays as it was; anything else is set (or removed) exactly.
#include <liblumox/SetEnv.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::vector<std::string> snapshot() {
  std::vector<std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    entries.emplace_back(*e);
  }
  return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // name NUL value [NUL …]; a missing value stands for a null pointer.
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const std::size_t split = raw.find('\0');
  // Keep the fuzzer off variables the process itself depends on.
  const std::string name = "FUZZ_" + raw.substr(0, split);
  const bool hasValue = split != std::string::npos;
  const std::string value = hasValue ? raw.substr(split + 1, raw.find('\0', split + 1) - split - 1) : std::string();
  const bool invalid = name.find('=') != std::string::npos;

  const auto before = snapshot();
  const int result = liblumox::setEnv(name.c_str(), hasValue ? value.c_str() : nullptr);
  if (invalid) {
    if (result != -1 || snapshot() != before) {
      std::abort();
    }
    return 0;
  }
  if (result != 0) {
    std::abort();
  }
  const char* now = std::getenv(name.c_str());
  if (hasValue && !value.empty()) {
    if (now == nullptr || value != now) {
      std::abort();
    }
  } else if (now != nullptr) {
    std::abort();
  }
  liblumox::setEnv(name.c_str(), nullptr);
  return 0;
}
