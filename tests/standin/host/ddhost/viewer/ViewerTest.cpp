// The viewer picture: each node's label where the default camera projects
// the node, in the color the node is drawn in.
#include "DdhostRun.h"
#include "PngPicture.h"
#include "support/GlAvailability.h"

#include <harness/TestPaths.h>

#include <ddhost/ViewerCamera.h>
#include <standin/offscreen/OffscreenContext.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ddhost;
using testsupport::exampleScript;
using testsupport::PngPicture;
using testsupport::ProcessResult;
using testsupport::Rgb;
using ::testing::HasSubstr;

constexpr Rgb kUnselectedLabel{0xC8, 0xC8, 0xC8};  // the host's default draw color
constexpr Rgb kSelectedLabel{0xFF, 0xFF, 0xFF};    // the node's own selection color
constexpr Rgb kHostMarker{0x6F, 0xA8, 0xDC};

// Where the host's default view puts a point, in picture coordinates: x
// right, y down from the top row.
struct Projected {
  double x, y;
};

Projected project(double px, double py, double pz, int width, int height) {
  const auto window =
      standin::offscreen::windowPosition(ddhost::viewerProjection(width, height), ddhost::viewerCamera(),
                                         {px, py, pz}, width, height);
  return {window[0], height - window[1]};
}

// A label of `length` glyphs, 6 by 8 pixels each, drawn up and to the right
// from its node's projected point; two pixels of slack for rounding.
struct Box {
  int left, top, right, bottom;  // inclusive
  bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

Box labelBox(Projected at, std::size_t length) {
  const int x = static_cast<int>(std::floor(at.x));
  const int y = static_cast<int>(std::floor(at.y));
  return {x - 2, y - 8 - 2, x + 6 * static_cast<int>(length) + 2, y + 2};
}

int countInBox(const PngPicture& image, const Box& box, Rgb color) {
  int count = 0;
  for (int y = std::max(0, box.top); y <= std::min(image.height - 1, box.bottom); ++y) {
    for (int x = std::max(0, box.left); x <= std::min(image.width - 1, box.right); ++x) {
      count += image.at(x, y) == color ? 1 : 0;
    }
  }
  return count;
}

TEST(DdhostViewer, DrawsEachLabelWhereItsNodeProjects) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  const testsupport::TemporaryDirectory dir;
  const fs::path picture = dir.path() / "viewer.png";
  const int width = 800;
  const int height = 450;
  const ProcessResult run =
      ddhost({"--viewer", picture.string(), "--viewer-size", "800x450", exampleScript("several-lights")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("WorldEnd"));
  const PngPicture image = testsupport::decodePng(picture);
  ASSERT_EQ(image.width, width);
  ASSERT_EQ(image.height, height);

  struct Node {
    const char* name;
    double x, y, z;
    Rgb color;
  };
  const Node nodes[] = {
      {"WallBounce", -3, 1.5, -1, kUnselectedLabel},
      {"FloorBounce", 2, 0.25, 1, kUnselectedLabel},
      {"RimBounce", 3, 3, -2, kSelectedLabel},
      {"Backdrop", 0, 1, -4, kHostMarker},
  };
  std::vector<std::pair<Box, Rgb>> labels;
  for (const Node& node : nodes) {
    SCOPED_TRACE(node.name);
    const Box box = labelBox(project(node.x, node.y, node.z, width, height), std::string(node.name).size());
    // Every glyph of these names lights several pixels.
    EXPECT_GE(countInBox(image, box, node.color), 4 * static_cast<int>(std::string(node.name).size()));
    labels.emplace_back(box, node.color);
  }
  // Nothing else is drawn in a label color, so a label anywhere else would
  // show here (the marker's outline shares its color, so it is left out).
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const Rgb pixel = image.at(x, y);
      if (!(pixel == kUnselectedLabel) && !(pixel == kSelectedLabel)) {
        continue;
      }
      bool expected = false;
      for (const auto& [box, color] : labels) {
        expected = expected || (color == pixel && box.contains(x, y));
      }
      ASSERT_TRUE(expected) << "label pixel at " << x << "," << y;
    }
  }
}

// The picture is drawn after the RIB; when it fails, neither is kept.
TEST(DdhostViewer, AFailedPictureKeepsNoRib) {
  const testsupport::TemporaryDirectory dir;
  const fs::path output = dir.path() / "scene.rib";
  for (const std::vector<std::string>& destination : {std::vector<std::string>{"-o", output.string()},
                                                      std::vector<std::string>{}}) {
    std::vector<std::string> arguments = destination;
    arguments.insert(arguments.end(), {"--viewer", (dir.path() / "missing" / "viewer.png").string(),
                                       exampleScript("bounce-light")});
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProcessResult run = ddhost(arguments);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("viewer.png"));
    EXPECT_TRUE(fs::is_empty(dir.path()));
  }
}

#if !defined(_WIN32)
// A viewer context that cannot be had is an error naming the reason, never a
// crash: a driver Mesa cannot load, and a picture too large for the memory
// the process may have.
struct ContextFailure {
  const char* name;
  const char* driver;           // GALLIUM_DRIVER for the child, or none
  const char* size;             // --viewer-size
  unsigned long long memoryCap;  // RLIMIT_AS in bytes, or 0 for none
  const char* message;
};

class DdhostViewerContextFailure : public ::testing::TestWithParam<ContextFailure> {};

TEST_P(DdhostViewerContextFailure, ExitsOneWithTheReasonAndWritesNothing) {
  const ContextFailure& c = GetParam();
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  if (c.memoryCap != 0) {
    GTEST_SKIP() << "a sanitised ddhost reserves its shadow memory beyond any such cap";
  }
#endif
  const testsupport::TemporaryDirectory dir;
  const fs::path rib = dir.path() / "scene.rib";
  const fs::path picture = dir.path() / "viewer.png";
  std::string command;
  if (c.memoryCap != 0) {
    command += "ulimit -v " + std::to_string(c.memoryCap / 1024) + " && ";
  }
  if (c.driver != nullptr) {
    command += std::string("GALLIUM_DRIVER=") + c.driver + " ";
  }
  command += "exec '" + testsupport::installedDdhost().string() + "' -o '" + rib.string() + "' --viewer '" +
             picture.string() + "' --viewer-size " + c.size + " '" + exampleScript("bounce-light") + "'";
  const ProcessResult run = testsupport::runProcess("/bin/sh", {"-c", command});
  EXPECT_EQ(run.exitStatus, 1) << run.err;
  EXPECT_THAT(run.err, HasSubstr(c.message));
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DdhostViewerContextFailure,
    ::testing::Values(
        ContextFailure{"UnknownDriver", "bogus", "320x180", 0, "cannot create the viewer's OpenGL context: "},
        ContextFailure{"PictureBeyondTheMemoryCap", nullptr, "4096x4096", 400000ull * 1024,
                       "not enough memory for a 4096x4096 viewer picture"}),
    [](const ::testing::TestParamInfo<ContextFailure>& param) { return std::string(param.param.name); });
#endif

}  // namespace
