// The viewer picture: each node's label where the default camera projects
// the node, in the color the node is drawn in.
#include "ddhost/DdhostRun.h"

#include "support/TestPaths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#if defined(DDHOST_TESTS_HAVE_VIEWER)
#  include <png.h>
#endif

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ddhost;
using testsupport::ProcessResult;
using ::testing::HasSubstr;

std::string example(const std::string& name) {
  return (testsupport::examplesDir() / (name + ".ddscript")).string();
}

#if defined(DDHOST_TESTS_HAVE_VIEWER)

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

constexpr Rgb kUnselectedLabel{0xC8, 0xC8, 0xC8};  // the host's default draw color
constexpr Rgb kSelectedLabel{0xFF, 0xFF, 0xFF};    // the node's own selection color
constexpr Rgb kHostMarker{0x6F, 0xA8, 0xDC};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  Rgb at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

Image decodePng(const fs::path& path) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.string().c_str())) {
    throw std::runtime_error("not a PNG: " + path.string() + ": " + png.message);
  }
  png.format = PNG_FORMAT_RGB;
  Image image;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.rgb.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
    png_image_free(&png);
    throw std::runtime_error("cannot decode " + path.string() + ": " + png.message);
  }
  return image;
}

// Where the host's default view puts a point: a camera at (0, 4, 9) looking
// at (0, 1, -1), y up, 45 degrees vertically. Picture coordinates: x right,
// y down from the top row.
struct Projected {
  double x, y;
};

Projected project(double px, double py, double pz, int width, int height) {
  const double eye[3] = {0, 4, 9};
  const double target[3] = {0, 1, -1};
  double f[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
  const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  for (double& v : f) v /= fl;
  // side = f x (0, 1, 0); up = side x f
  double s[3] = {-f[2], 0, f[0]};
  const double sl = std::sqrt(s[0] * s[0] + s[2] * s[2]);
  for (double& v : s) v /= sl;
  const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
  const double d[3] = {px - eye[0], py - eye[1], pz - eye[2]};
  const double xc = s[0] * d[0] + s[1] * d[1] + s[2] * d[2];
  const double yc = u[0] * d[0] + u[1] * d[1] + u[2] * d[2];
  const double depth = f[0] * d[0] + f[1] * d[1] + f[2] * d[2];
  const double t = std::tan(45.0 * 3.14159265358979323846 / 360.0);
  const double aspect = static_cast<double>(width) / height;
  const double ndcX = xc / depth / (t * aspect);
  const double ndcY = yc / depth / t;
  return {(ndcX + 1) * width / 2, height - (ndcY + 1) * height / 2};
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

int countInBox(const Image& image, const Box& box, Rgb color) {
  int count = 0;
  for (int y = std::max(0, box.top); y <= std::min(image.height - 1, box.bottom); ++y) {
    for (int x = std::max(0, box.left); x <= std::min(image.width - 1, box.right); ++x) {
      count += image.at(x, y) == color ? 1 : 0;
    }
  }
  return count;
}

TEST(DdhostViewer, DrawsEachLabelWhereItsNodeProjects) {
  const testsupport::TemporaryDirectory dir;
  const fs::path picture = dir.path() / "viewer.png";
  const int width = 800;
  const int height = 450;
  const ProcessResult run =
      ddhost({"--viewer", picture.string(), "--viewer-size", "800x450", example("several-lights")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("WorldEnd"));
  const Image image = decodePng(picture);
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
                                       example("bounce-light")});
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProcessResult run = ddhost(arguments);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("viewer.png"));
    EXPECT_TRUE(fs::is_empty(dir.path()));
  }
}

#else

TEST(DdhostViewer, IsRefusedWhereTheBuildHasNone) {
  const testsupport::TemporaryDirectory dir;
  const fs::path picture = dir.path() / "viewer.png";
  const ProcessResult run = ddhost({"--viewer", picture.string(), example("bounce-light")});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, HasSubstr("no viewer"));
  EXPECT_FALSE(fs::exists(picture));
}

#endif

}  // namespace
