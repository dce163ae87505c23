#include <lumoxindirect/logic/SampleCount.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

using lumoxindirect::sampleCount;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct Case {
  std::int32_t samples;
  float scale;
  std::int32_t expected;
};

TEST(SampleCount, RoundsHalfUpAndNeverGivesZeroForNonZeroSamples) {
  const Case cases[] = {
      {0, 1.0f, 0},   {0, 1000.0f, 0}, {0, -5.0f, 0}, {0, kNaN, 0}, {0, kInf, 0},
      {4, 1.0f, 4},   {4, 2.0f, 8},    {3, 0.5f, 2},  {7, 0.5f, 4}, {4, 0.1f, 1},
      {4, -1.0f, -3}, {1, 0.0f, 1},    {1, 0.49f, 1}, {1, 1.49f, 1}, {1, 1.5f, 2},
      {1000, 1.0f, 1000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sampleCount(c.samples, c.scale), c.expected) << c.samples << " x " << c.scale;
  }
}

TEST(SampleCount, SaturatesOutsideTheIntegerRange) {
  const Case cases[] = {
      {4, 1e30f, kMax},       {4, kInf, kMax},          {kMax, 2.0f, kMax}, {4, -1e30f, kMin},
      {4, -kInf, kMin},       {kMin, 1.0f, kMin},       {kMin, -1.0f, kMax},
      // 2^31 is the first float past the largest int32.
      {1, 2147483648.0f, kMax}, {-1, 2147483648.0f, kMin},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sampleCount(c.samples, c.scale), c.expected) << c.samples << " x " << c.scale;
  }
}

TEST(SampleCount, NaNScaleCountsAsRoundingToZero) {
  EXPECT_EQ(sampleCount(4, kNaN), 1);
  EXPECT_EQ(sampleCount(-4, kNaN), 1);
  EXPECT_EQ(sampleCount(4, -kNaN), 1);
}

}  // namespace
