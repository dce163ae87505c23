#include "Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace ddhost {

std::optional<std::int64_t> parseInteger(std::string_view text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) {
    return std::nullopt;
  }
  return value;
}

std::optional<float> parseFloat(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value) ||
      std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
    return std::nullopt;
  }
  return static_cast<float>(value);
}

}  // namespace ddhost
