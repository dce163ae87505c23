#include <lumoxindirect/logic/SampleCount.h>

#include <cmath>
#include <limits>

namespace lumoxindirect {

namespace {

// float → int32 truncation, defined for every float.
std::int32_t truncateSaturating(float value) {
  constexpr float kLimit = 2147483648.0f;  // 2^31, exact in float
  if (std::isnan(value)) {
    return 0;
  }
  if (value >= kLimit) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value < -kLimit) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t sampleCount(std::int32_t samples, float sampleScale) {
  if (samples == 0) {
    return 0;
  }
  // The product is rounded to float before 0.5 is added: fused into one
  // multiply-add, it would count otherwise next to a half. Its own
  // statement, as clang fuses only within one expression; GNU front ends
  // also get -ffp-contract=off, as GCC fuses across statements.
  const float product = static_cast<float>(samples) * sampleScale;
  const float scaled = product + 0.5f;
  const std::int32_t truncated = truncateSaturating(scaled);
  return truncated == 0 ? 1 : truncated;
}

}  // namespace lumoxindirect
