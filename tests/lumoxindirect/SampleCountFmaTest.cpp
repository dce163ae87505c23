// The sample count compiled for processors with FMA, where the compiler may
// fuse a product and a sum: it counts as the plain build does. This file is
// compiled for any x86-64, so that it runs far enough to skip elsewhere.
#include "lumoxindirect/SampleCountCases.h"

#include <gtest/gtest.h>

namespace {

TEST(SampleCountBuiltForFma, CountsAsThePlainBuild) {
  if (!__builtin_cpu_supports("fma")) {
    GTEST_SKIP() << "this processor has no FMA instructions, which the sample count here is built for";
  }
  testsupport::expectSampleCounts(testsupport::kRoundingCases);
  testsupport::expectSampleCounts(testsupport::kProductRoundedFirstCases);
  testsupport::expectSampleCounts(testsupport::kSaturatingCases);
}

}  // namespace
