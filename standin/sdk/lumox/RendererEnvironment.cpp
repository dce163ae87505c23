#include "RendererEnvironment.h"

#include <cstdlib>

#if defined(_WIN32)
#  include <windows.h>
#endif

namespace standin {
namespace lumox {

namespace {

#if defined(_WIN32)
std::optional<std::string> processValue(const char* variable) {
  std::string value;
  DWORD size = 0;  // with the NUL
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableA(variable, value.empty() ? nullptr : value.data(), size);
    if (length == 0) {
      // An empty value and an unset variable both answer 0.
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return std::nullopt;
      }
      return std::string();
    }
    if (length < size) {
      value.resize(length);
      return value;
    }
    // Too small (or not yet asked): `length` is the size needed, NUL included.
    size = length;
    value.assign(size, '\0');
  }
}
#endif

}  // namespace

std::vector<EnvironmentReading> readRendererEnvironment() {
  std::vector<EnvironmentReading> readings;
  for (const char* variable : {"DELIGHT", "DELIGHT_CONF"}) {
    const char* value = std::getenv(variable);
    readings.push_back({variable, "getenv", value != nullptr ? std::optional<std::string>(value) : std::nullopt});
#if defined(_WIN32)
    readings.push_back({variable, "GetEnvironmentVariableA", processValue(variable)});
#endif
  }
  return readings;
}

}  // namespace lumox
}  // namespace standin
