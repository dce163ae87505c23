// The sample-count cases, for the plain build and the one built for FMA.
#pragma once

#include <lumoxindirect/logic/SampleCount.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>

namespace testsupport {

struct SampleCountCase {
  std::int32_t samples;
  float scale;
  std::int32_t expected;
};

inline constexpr float kInf = std::numeric_limits<float>::infinity();
inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
inline constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
inline constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

inline constexpr SampleCountCase kRoundingCases[] = {
    {0, 1.0f, 0},   {0, 1000.0f, 0}, {0, -5.0f, 0}, {0, kNaN, 0}, {0, kInf, 0},
    {4, 1.0f, 4},   {4, 2.0f, 8},    {3, 0.5f, 2},  {7, 0.5f, 4}, {4, 0.1f, 1},
    {4, -1.0f, -3}, {1, 0.0f, 1},    {1, 0.49f, 1}, {1, 1.49f, 1}, {1, 1.5f, 2},
    {1000, 1.0f, 1000},
};

// Products a hair off a half that round onto it: the sum then lands on a
// whole number. Fused into one multiply-add they would not round first.
inline constexpr SampleCountCase kProductRoundedFirstCases[] = {
    {5, -1.69999993f, -8},
    {19, -0.0789473653f, -1},
};

inline constexpr SampleCountCase kSaturatingCases[] = {
    {4, 1e30f, kMax},         {4, kInf, kMax},          {kMax, 2.0f, kMax}, {4, -1e30f, kMin},
    {4, -kInf, kMin},         {kMin, 1.0f, kMin},       {kMin, -1.0f, kMax},
    // 2^31 is the first float past the largest int32.
    {1, 2147483648.0f, kMax}, {-1, 2147483648.0f, kMin},
};

template <std::size_t N>
void expectSampleCounts(const SampleCountCase (&table)[N]) {
  for (const SampleCountCase& c : table) {
    EXPECT_EQ(lumoxindirect::sampleCount(c.samples, c.scale), c.expected) << c.samples << " x " << c.scale;
  }
}

}  // namespace testsupport
