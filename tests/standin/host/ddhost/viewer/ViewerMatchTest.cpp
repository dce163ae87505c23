// Both legs draw the same viewer picture: ddhost on Linux (Mesa's off-screen
// library) and ddhost.exe under Wine (WGL, handed to Mesa through an X
// display) against one reference, drawn by the Linux build with
//   ddhost --viewer several-lights.png --viewer-size 320x180 examples/several-lights.ddscript
#include "DdhostRun.h"
#include "PngPicture.h"
#include "support/GlAvailability.h"

#include <harness/TestPaths.h>

#include <standin/offscreen/OffscreenContext.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using testsupport::PngPicture;

// Both legs rasterise with the same Mesa (llvmpipe) and today agree pixel
// for pixel. The bound, 8 of 57,600 pixels, leaves room only for a line's
// end pixel rounding the other way after a Mesa update; a moved, missing or
// recoloured label changes dozens.
constexpr int kMostDifferentPixels = 8;

struct Difference {
  int pixels = 0;
  int largestStep = 0;  // the largest difference of one channel
};

Difference compare(const PngPicture& a, const PngPicture& b) {
  Difference difference;
  for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
    int step = 0;
    for (std::size_t c = 0; c < 3; ++c) {
      step = std::max(step, std::abs(int{a.rgb[i + c]} - int{b.rgb[i + c]}));
    }
    difference.pixels += step > 0 ? 1 : 0;
    difference.largestStep = std::max(difference.largestStep, step);
  }
  return difference;
}

TEST(DdhostViewerMatch, PictureMatchesTheReferenceOnEveryPlatform) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  const testsupport::TemporaryDirectory dir;
  const fs::path picture = dir.path() / "several-lights.png";
  const testsupport::ProcessResult run =
      testsupport::ddhost({"--viewer", picture.string(), "--viewer-size", "320x180", "-o",
                           (dir.path() / "scene.rib").string(),
                           (testsupport::examplesDir() / "several-lights.ddscript").string()});
  ASSERT_EQ(run.exitStatus, 0) << run.err;

  const PngPicture drawn = testsupport::decodePng(picture);
  const PngPicture reference = testsupport::decodePng(testsupport::goldenDir() / "several-lights-320x180.png");
  ASSERT_EQ(drawn.width, reference.width);
  ASSERT_EQ(drawn.height, reference.height);
  const Difference difference = compare(drawn, reference);
  EXPECT_LE(difference.pixels, kMostDifferentPixels)
      << difference.pixels << " pixels differ, by up to " << difference.largestStep;
}

// The comparison itself sees a changed picture.
TEST(DdhostViewerMatch, ComparisonCountsEveryChangedPixel) {
  PngPicture a;
  a.width = 3;
  a.height = 1;
  a.rgb = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  PngPicture b = a;
  EXPECT_EQ(compare(a, b).pixels, 0);
  b.rgb[1] = 25;
  b.rgb[8] = 0;
  const Difference difference = compare(a, b);
  EXPECT_EQ(difference.pixels, 2);
  EXPECT_EQ(difference.largestStep, 90);
}

}  // namespace
