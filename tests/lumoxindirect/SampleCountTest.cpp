#include "lumoxindirect/SampleCountCases.h"

#include <cmath>
#include <cstdint>

namespace {

using lumoxindirect::sampleCount;
using testsupport::kNaN;
using testsupport::SampleCountCase;

TEST(SampleCount, RoundsHalfUpAndNeverGivesZeroForNonZeroSamples) {
  testsupport::expectSampleCounts(testsupport::kRoundingCases);
  testsupport::expectSampleCounts(testsupport::kProductRoundedFirstCases);
}

// Otherwise the rows would not tell a fused computation from the one asked.
TEST(SampleCount, FusedMultiplyAddWouldCountTheNearHalfRowsOtherwise) {
  for (const SampleCountCase& c : testsupport::kProductRoundedFirstCases) {
    const float fused = std::fmaf(static_cast<float>(c.samples), c.scale, 0.5f);
    EXPECT_NE(static_cast<std::int32_t>(fused), c.expected) << c.samples << " x " << c.scale;
  }
}

TEST(SampleCount, SaturatesOutsideTheIntegerRange) {
  testsupport::expectSampleCounts(testsupport::kSaturatingCases);
}

TEST(SampleCount, NaNScaleCountsAsRoundingToZero) {
  EXPECT_EQ(sampleCount(4, kNaN), 1);
  EXPECT_EQ(sampleCount(-4, kNaN), 1);
  EXPECT_EQ(sampleCount(4, -kNaN), 1);
}

}  // namespace
