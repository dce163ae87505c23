#include "Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <system_error>

namespace ddhost {

namespace {

// The power of ten of the first significant digit of a number that
// from_chars has found well formed but out of a double's range: above 0
// it overflowed, below it underflowed. The exponent saturates, so that no
// length of text overflows the count.
long long orderOfMagnitude(std::string_view text) {
  constexpr long long kSaturated = 1'000'000'000;
  std::size_t at = text.size() > 0 && text[0] == '-' ? 1 : 0;
  long long integerDigits = 0;
  long long firstSignificant = -1;
  long long digits = 0;
  bool inFraction = false;
  for (; at < text.size() && text[at] != 'e' && text[at] != 'E'; ++at) {
    if (text[at] == '.') {
      inFraction = true;
      continue;
    }
    if (firstSignificant < 0 && text[at] != '0') {
      firstSignificant = digits;
    }
    if (!inFraction && digits < kSaturated) {
      ++integerDigits;
    }
    digits = std::min(digits + 1, kSaturated);
  }
  long long exponent = 0;
  if (at < text.size()) {
    ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
      ++at;
    }
    for (; at < text.size(); ++at) {
      exponent = std::min(exponent * 10 + (text[at] - '0'), kSaturated);
    }
    exponent = negative ? -exponent : exponent;
  }
  return integerDigits - 1 - std::max(firstSignificant, 0LL) + exponent;
}

std::string shortest(float value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

}  // namespace

std::optional<std::int64_t> parseInteger(std::string_view text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) {
    return std::nullopt;
  }
  return value;
}

FloatReading readFloat(std::string_view text) {
  FloatReading reading;
  reading.negative = !text.empty() && text[0] == '-';
  double value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || result.ptr != end || (result.ec != std::errc() && result.ec != std::errc::result_out_of_range)) {
    return reading;
  }
  if (result.ec == std::errc::result_out_of_range) {
    reading.problem = orderOfMagnitude(text) > 0 ? FloatProblem::TooLarge : FloatProblem::TooSmall;
    return reading;
  }
  if (!std::isfinite(value)) {
    return reading;  // "inf", "nan"
  }
  if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
    reading.problem = FloatProblem::TooLarge;
    return reading;
  }
  reading.value = static_cast<float>(value);
  reading.problem = value != 0 && reading.value == 0 ? FloatProblem::TooSmall : FloatProblem::None;
  return reading;
}

std::optional<float> parseFloat(std::string_view text) {
  const FloatReading reading = readFloat(text);
  if (reading.problem != FloatProblem::None) {
    return std::nullopt;
  }
  return reading.value;
}

std::string floatBound(FloatProblem problem, bool eitherSign) {
  switch (problem) {
    case FloatProblem::TooLarge:
      return "within the float range (at most " + shortest(std::numeric_limits<float>::max()) +
             (eitherSign ? " in magnitude)" : ")");
    case FloatProblem::TooSmall:
      return "0 or large enough that a float does not read it as 0 (the smallest float is " +
             shortest(std::numeric_limits<float>::denorm_min()) + ")";
    case FloatProblem::None:
    case FloatProblem::NotANumber:
      break;
  }
  return "a finite number";
}

}  // namespace ddhost
