// The node's viewer handles, checked against a real OpenGL implementation:
// the GL state and pixels it leaves, not only the calls it makes.
#include "lumoxindirect/NodeFixture.h"
#include "support/GlState.h"
#include "support/GlAvailability.h"

#include <DDImage/AxisOp.h>
#include <DDImage/Matrix4.h>
#include <DDImage/ViewerContext.h>

#include <standin/ddimage/HostViewerContext.h>
#include <standin/ddimage/GlRecord.h>
#include <standin/offscreen/OffscreenContext.h>
#include <standin/offscreen/Projection.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using standin::ddimage::clearGlRecord;
using standin::ddimage::GlCall;
using standin::ddimage::glRecord;
using standin::ddimage::nodeOf;
using standin::offscreen::Matrix;
using testsupport::glFloats;
using testsupport::glInteger;
using testsupport::GlState;

constexpr unsigned kSelectionColor = 0xFFFFFF00u;
constexpr unsigned kDrawColor = 0x3366CCFFu;
constexpr int kGlyphWidth = 6;
constexpr int kGlyphHeight = 8;

// Odd sizes keep projected positions off pixel boundaries, so which pixel a
// label starts in does not hinge on float rounding.
constexpr int kWidth = 201;
constexpr int kHeight = 121;

using Rgba = std::array<std::uint8_t, 4>;

// The host's packed form: 0xRRGGBB00, drawn opaque whatever the low byte.
Rgba bytesOf(unsigned color) {
  return {static_cast<std::uint8_t>(color >> 24), static_cast<std::uint8_t>(color >> 16),
          static_cast<std::uint8_t>(color >> 8), 255};
}

std::vector<std::string> callsAmong(const std::vector<std::string>& calls, const std::vector<std::string>& wanted) {
  std::vector<std::string> kept;
  for (const std::string& call : calls) {
    if (std::find(wanted.begin(), wanted.end(), call) != wanted.end()) {
      kept.push_back(call);
    }
  }
  return kept;
}

// Ops only read the context: they can neither make one nor write its fields.
template <class T, class = void>
struct WritesDrawMode : std::false_type {};
template <class T>
struct WritesDrawMode<T, std::void_t<decltype(std::declval<T&>().draw_mode_ = 0)>> : std::true_type {};
static_assert(!WritesDrawMode<DD::Image::ViewerContext>::value, "draw_mode is writable by ops");
static_assert(!std::is_default_constructible<DD::Image::ViewerContext>::value, "ops can make a viewer context");

class ViewerDrawingTest : public testsupport::NodeFixture {
protected:
  void SetUp() override {
    NodeFixture::SetUp();
    if (HasFatalFailure()) {
      return;
    }
    clearGlRecord();
    viewer.setDrawColor(kDrawColor);
  }

  standin::ddimage::HostViewerContext viewer;
};

TEST_F(ViewerDrawingTest, BuildHandlesFollowsTheViewersModes) {
  // The light base's own handles are never built: this node has its own.
  const std::vector<std::string> watched = {"validate(false)", "validate(true)", "build_knob_handles",
                                            "add_draw_handle", "LightOp::build_handles"};
  struct Case {
    int handlesMode;
    int drawHandlesWanted;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {0, 0, {}},
      {0, 1, {}},
      {1, 0, {"validate(false)", "build_knob_handles"}},
      {1, 1, {"validate(false)", "build_knob_handles", "add_draw_handle"}},
      {2, 0, {"validate(false)", "build_knob_handles"}},
      {2, 1, {"validate(false)", "build_knob_handles", "add_draw_handle"}},
      {-1, 1, {"validate(false)", "build_knob_handles", "add_draw_handle"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("handles_mode " + std::to_string(c.handlesMode) + ", draw_handles_wanted " +
                 std::to_string(c.drawHandlesWanted));
    hostCalls().clear();
    viewer.setHandlesMode(c.handlesMode);
    viewer.setDrawHandlesWanted(c.drawHandlesWanted);
    viewer.clearDrawHandles();

    op->build_handles(&viewer);
    op->build_handles(&viewer);  // a second build registers nothing new

    if (c.handlesMode == 0) {
      EXPECT_TRUE(hostCalls().empty()) << "first call: " << hostCalls().front();
    }
    std::vector<std::string> twice = c.calls;
    twice.insert(twice.end(), c.calls.begin(), c.calls.end());
    EXPECT_EQ(callsAmong(hostCalls(), watched), twice);
    const bool registers = c.handlesMode != 0 && c.drawHandlesWanted != 0;
    EXPECT_EQ(viewer.drawHandles(), registers ? std::vector<DD::Image::Op*>{op} : std::vector<DD::Image::Op*>{});
    EXPECT_TRUE(glRecord().empty()) << "building handles drew";
  }
}

TEST_F(ViewerDrawingTest, DrawModesUpToThreeDrawNothing) {
  for (const int mode : {3, 0, -1, -1000}) {
    for (const bool selected : {false, true}) {
      SCOPED_TRACE("draw_mode " + std::to_string(mode) + (selected ? ", selected" : ""));
      nodeOf(op).selected = selected;
      viewer.setDrawMode(mode);
      op->draw_handle(&viewer);
      EXPECT_TRUE(glRecord().empty()) << "first: " << glRecord().front().function;
    }
  }
}

// ---------------------------------------------------------------------------
// With a GL context.

// What the host's 3D viewer has set up before it asks an op to draw.
struct Viewer {
  const char* name;
  bool perspective;
  std::array<double, 6> volume;  // left right bottom top near far
  std::array<double, 3> cameraOffset;
  double cameraScale;

  void load() const {
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const auto& v = volume;
    if (perspective) {
      glFrustum(v[0], v[1], v[2], v[3], v[4], v[5]);
    } else {
      glOrtho(v[0], v[1], v[2], v[3], v[4], v[5]);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(cameraOffset[0], cameraOffset[1], cameraOffset[2]);
    glScaled(cameraScale, cameraScale, cameraScale);
  }

  // Window x, y, depth and clip w of the origin of the node at `node`.
  std::array<double, 4> window(const std::array<double, 3>& node) const {
    const auto& v = volume;
    const Matrix projection = perspective ? Matrix::frustum(v[0], v[1], v[2], v[3], v[4], v[5])
                                          : Matrix::ortho(v[0], v[1], v[2], v[3], v[4], v[5]);
    const Matrix camera =
        Matrix::translation(cameraOffset[0], cameraOffset[1], cameraOffset[2]) * Matrix::scaling(cameraScale);
    return standin::offscreen::windowPosition(projection, camera, node, kWidth, kHeight);
  }
};

const Viewer kOrthoViewer{"ortho", false, {-1, 1, -1, 1, -10, 10}, {0.1, -0.05, 0}, 1.0};
const Viewer kPerspectiveViewer{"perspective", true, {-0.5, 0.3, -0.35, 0.25, 1, 20}, {0, 0, -5}, 1.5};

struct LitPixel {
  int x;
  int y;
  Rgba color;
};

class GlViewerDrawingTest : public ViewerDrawingTest {
protected:
  void SetUp() override {
    ViewerDrawingTest::SetUp();
    if (HasFatalFailure()) {
      return;
    }
    if (const auto reason = testsupport::glUnavailable()) {
      GTEST_SKIP() << *reason;
    }
    try {
      context = std::make_unique<standin::offscreen::OffscreenContext>(kWidth, kHeight);
    } catch (const std::runtime_error& error) {
      FAIL() << error.what();
    }
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    viewer.setDrawMode(4);
    useViewer(kOrthoViewer);
  }

  void useViewer(const Viewer& v) {
    v.load();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // Whatever the viewer drew before: the node must set its own color.
    glColor4f(0.5f, 0.25f, 0.75f, 0.5f);
  }

  void placeNode(const std::array<double, 3>& at) {
    dynamic_cast<DD::Image::AxisOp*>(op)->set_matrix(DD::Image::Matrix4::translation(
        static_cast<float>(at[0]), static_cast<float>(at[1]), static_cast<float>(at[2])));
  }

  void draw() {
    clearGlRecord();
    op->draw_handle(&viewer);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  std::vector<LitPixel> litPixels() const {
    const std::vector<std::uint8_t> pixels = gl().readPixels();
    const Rgba background{0, 0, 0, 255};
    std::vector<LitPixel> lit;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const std::size_t at = (static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) * 4u;
        const Rgba color{pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
        if (color != background) {
          lit.push_back({x, y, color});
        }
      }
    }
    return lit;
  }

  // The label's first pixel: glBitmap puts a glyph's lower left corner at
  // the floor of the raster position.
  static std::array<int, 2> labelCorner(const std::array<double, 4>& window) {
    for (const double coordinate : {window[0], window[1]}) {
      const double fraction = coordinate - std::floor(coordinate);
      EXPECT_TRUE(fraction > 0.05 && fraction < 0.95)
          << coordinate << " is too near a pixel edge to tell which pixel the label starts in";
    }
    return {static_cast<int>(std::floor(window[0])), static_cast<int>(std::floor(window[1]))};
  }

  const standin::offscreen::OffscreenContext& gl() const { return *context; }

  // Made in SetUp, so that a context that cannot be had fails the case.
  std::unique_ptr<standin::offscreen::OffscreenContext> context;
};

void expectSameState(const GlState& before, const GlState& after) {
  EXPECT_EQ(after.color, before.color);
  EXPECT_EQ(after.rasterPosition, before.rasterPosition);
  EXPECT_EQ(after.rasterColor, before.rasterColor);
  EXPECT_EQ(after.rasterValid, before.rasterValid);
  EXPECT_EQ(after.matrixMode, before.matrixMode);
  EXPECT_EQ(after.modelviewDepth, before.modelviewDepth);
  EXPECT_EQ(after.projectionDepth, before.projectionDepth);
  EXPECT_EQ(after.modelview, before.modelview);
  EXPECT_EQ(after.projection, before.projection);
  EXPECT_TRUE(after.pixels == before.pixels) << "pixels changed";
}

TEST_F(GlViewerDrawingTest, DrawModesUpToThreeLeaveGlUntouched) {
  placeNode({0.25, -0.5, 0});
  glRasterPos3f(-0.5f, 0.5f, 0.0f);
  glPushMatrix();
  glTranslatef(0.125f, 0.0f, 0.0f);
  // A full modelview stack makes any push raise an error, so even a
  // balanced push and pop, which leaves no other trace, shows.
  const GLint limit = glInteger(GL_MAX_MODELVIEW_STACK_DEPTH);
  while (glInteger(GL_MODELVIEW_STACK_DEPTH) < limit) {
    glPushMatrix();
  }
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const GlState before = GlState::capture(gl());
  ASSERT_EQ(before.rasterValid, GL_TRUE);
  ASSERT_EQ(before.modelviewDepth, limit);

  for (const int mode : {3, 0, -1}) {
    for (const bool selected : {false, true}) {
      SCOPED_TRACE("draw_mode " + std::to_string(mode) + (selected ? ", selected" : ""));
      nodeOf(op).selected = selected;
      viewer.setDrawMode(mode);
      draw();  // which also finds no GL error
      EXPECT_TRUE(glRecord().empty());
      expectSameState(before, GlState::capture(gl()));
    }
  }

  // The same checks do see a draw, and its push.
  nodeOf(op).selected = false;
  viewer.setDrawMode(4);
  clearGlRecord();
  op->draw_handle(&viewer);
  EXPECT_FALSE(glRecord().empty());
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_STACK_OVERFLOW));
  const GlState after = GlState::capture(gl());
  EXPECT_NE(after.rasterPosition, before.rasterPosition);
  EXPECT_NE(after.rasterColor, before.rasterColor);
  EXPECT_FALSE(after.pixels == before.pixels) << "draw_mode 4 drew no pixel";
}

// The host's side of drawing may throw after the node has pushed its matrix.
TEST_F(GlViewerDrawingTest, AThrowingHostLeavesTheMatrixStackAsOnEntry) {
  struct Case {
    const char* what;
    void (*fail)(bool);
  };
  static const auto throwingName = [](std::ostream&, const DD::Image::Op*) {
    throw std::runtime_error("host name failed");
  };
  const Case cases[] = {
      {"text drawing", [](bool fails) { standin::ddimage::setTextDrawingFails(fails); }},
      {"name callback",
       [](bool fails) {
         DD::Image::Op::print_name_cb = fails ? +throwingName : standin::ddimage::printNodeName;
       }},
  };
  placeNode({0.25, -0.5, 0.5});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    useViewer(kPerspectiveViewer);
    glPushMatrix();
    glRotatef(10.0f, 0.0f, 0.0f, 1.0f);
    const GlState before = GlState::capture(gl());

    c.fail(true);
    EXPECT_THROW(op->draw_handle(&viewer), std::runtime_error);
    c.fail(false);

    const GlState after = GlState::capture(gl());
    EXPECT_EQ(after.modelviewDepth, before.modelviewDepth);
    EXPECT_EQ(after.modelview, before.modelview);
    EXPECT_EQ(after.matrixMode, static_cast<GLint>(GL_MODELVIEW));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glPopMatrix();
  }
}

TEST_F(GlViewerDrawingTest, MatrixStacksAreAsOnEntry) {
  placeNode({0.25, -0.5, 0.5});
  for (const int extraPushes : {0, 2}) {
    for (const bool selected : {false, true}) {
      SCOPED_TRACE(std::to_string(extraPushes) + " matrices pushed" + (selected ? ", selected" : ""));
      useViewer(kPerspectiveViewer);
      for (int i = 0; i < extraPushes; ++i) {
        glPushMatrix();
        glRotatef(10.0f * static_cast<float>(i + 1), 0.0f, 0.0f, 1.0f);
      }
      nodeOf(op).selected = selected;
      const GlState before = GlState::capture(gl());
      ASSERT_EQ(before.modelviewDepth, 1 + extraPushes);

      draw();

      const GlState after = GlState::capture(gl());
      EXPECT_EQ(after.modelviewDepth, before.modelviewDepth);
      EXPECT_EQ(after.modelview, before.modelview);
      EXPECT_EQ(after.matrixMode, static_cast<GLint>(GL_MODELVIEW));
      EXPECT_EQ(after.projectionDepth, before.projectionDepth);
      EXPECT_EQ(after.projection, before.projection);
      for (int i = 0; i < extraPushes; ++i) {
        glPopMatrix();
      }
    }
  }
}

TEST_F(GlViewerDrawingTest, LabelStartsAtTheNodesOriginUnderTheViewersProjection) {
  struct Case {
    const Viewer* viewer;
    std::array<double, 3> node;
  };
  const Case cases[] = {
      {&kOrthoViewer, {0.25, -0.5, 0}},
      {&kOrthoViewer, {-0.3, 0.2, 0.5}},
      {&kPerspectiveViewer, {0.25, -0.5, 0}},
      {&kPerspectiveViewer, {-0.3, 0.2, 0.5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.viewer->name) + " viewer, node at " + std::to_string(c.node[0]) + ", " +
                 std::to_string(c.node[1]) + ", " + std::to_string(c.node[2]));
    placeNode(c.node);
    const std::array<double, 4> expected = c.viewer->window(c.node);

    for (const std::string& name : {std::string(), std::string("Bounce1")}) {
      SCOPED_TRACE("name \"" + name + "\"");
      nodeOf(op).name = name;
      useViewer(*c.viewer);
      draw();

      ASSERT_EQ(glInteger(GL_CURRENT_RASTER_POSITION_VALID), GL_TRUE);
      // Each glyph moves the raster position on by its advance.
      const double advance = static_cast<double>(kGlyphWidth * name.size());
      const auto position = glFloats<GL_CURRENT_RASTER_POSITION, 4>();
      EXPECT_NEAR(position[0], expected[0] + advance, 0.01);
      EXPECT_NEAR(position[1], expected[1], 0.01);
      EXPECT_NEAR(position[2], expected[2], 1e-5);
      EXPECT_NEAR(position[3], expected[3], 1e-5);
    }
  }
}

TEST_F(GlViewerDrawingTest, ColorIsSetOnceBeforeTheRasterPosition) {
  struct Case {
    bool selected;
    unsigned drawColor;
    unsigned expected;
  };
  const Case cases[] = {
      {false, kDrawColor, kDrawColor},
      {false, 0x00FF0080u, 0x00FF0080u},
      {true, kDrawColor, kSelectionColor},
      {true, 0x00FF0080u, kSelectionColor},
  };
  placeNode({0.25, -0.5, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.selected ? "selected" : "not selected") + ", draw_color " +
                 std::to_string(c.drawColor));
    nodeOf(op).selected = c.selected;
    viewer.setDrawColor(c.drawColor);
    useViewer(kOrthoViewer);
    draw();

    const std::vector<GlCall> calls = glRecord();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, "glColor");
    EXPECT_EQ(calls[0].color, c.expected);
    EXPECT_EQ(calls[1].function, "gl_text");
    EXPECT_EQ(calls[1].text, "Bounce1");
    EXPECT_EQ(calls[1].length, 7);

    // glRasterPos latches the current color: only a color set before it
    // shows here, instead of the viewer's leftover one.
    const Rgba bytes = bytesOf(c.expected);
    const auto rasterColor = glFloats<GL_CURRENT_RASTER_COLOR, 4>();
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_NEAR(rasterColor[i], bytes[i] / 255.0, 1e-6) << "component " << i;
    }
  }
}

TEST_F(GlViewerDrawingTest, LabelPixelsFillTheCellsAtTheNodeAndNowhereElse) {
  const std::array<double, 3> node{0.25, -0.5, 0};
  placeNode(node);
  const std::string name = "Bounce1";
  nodeOf(op).name = name;
  const std::array<int, 2> corner = labelCorner(kOrthoViewer.window(node));
  const int width = kGlyphWidth * static_cast<int>(name.size());
  ASSERT_LE(corner[0] + width, kWidth);
  ASSERT_LE(corner[1] + kGlyphHeight, kHeight);

  for (const bool selected : {false, true}) {
    SCOPED_TRACE(selected ? "selected" : "not selected");
    nodeOf(op).selected = selected;
    useViewer(kOrthoViewer);
    draw();

    const std::vector<LitPixel> lit = litPixels();
    ASSERT_FALSE(lit.empty());
    const Rgba expectedColor = bytesOf(selected ? kSelectionColor : kDrawColor);
    std::vector<int> perGlyph(name.size(), 0);
    int left = kWidth;
    int top = -1;
    for (const LitPixel& p : lit) {
      const bool inside = p.x >= corner[0] && p.x < corner[0] + width && p.y >= corner[1] &&
                          p.y < corner[1] + kGlyphHeight;
      ASSERT_TRUE(inside) << "pixel at " << p.x << "," << p.y << " outside the label at " << corner[0] << ","
                          << corner[1];
      EXPECT_EQ(p.color, expectedColor) << "pixel at " << p.x << "," << p.y;
      ++perGlyph[static_cast<std::size_t>((p.x - corner[0]) / kGlyphWidth)];
      left = std::min(left, p.x);
      top = std::max(top, p.y);
    }
    for (std::size_t i = 0; i < perGlyph.size(); ++i) {
      EXPECT_GT(perGlyph[i], 0) << "glyph '" << name[i] << "' drew nothing";
    }
    // 'B' lights its leftmost column and the top row of its cell, so the
    // label sits exactly on the corner, not beside it.
    EXPECT_EQ(left, corner[0]);
    EXPECT_EQ(top, corner[1] + kGlyphHeight - 1);
  }
}

TEST_F(GlViewerDrawingTest, UnpackingLeftByTheViewerDoesNotChangeTheLabel) {
  placeNode({0.25, -0.5, 0});
  nodeOf(op).name = "Bounce1";
  useViewer(kOrthoViewer);
  draw();
  const std::vector<LitPixel> clean = litPixels();
  ASSERT_FALSE(clean.empty());

  struct Setting {
    GLenum name;
    GLint value;
  };
  const Setting settings[] = {{GL_UNPACK_ALIGNMENT, 8},   {GL_UNPACK_ROW_LENGTH, 64}, {GL_UNPACK_SKIP_ROWS, 3},
                              {GL_UNPACK_SKIP_PIXELS, 5}, {GL_UNPACK_LSB_FIRST, 1},   {GL_UNPACK_SWAP_BYTES, 1}};
  for (const Setting& setting : settings) {
    SCOPED_TRACE(setting.name);
    useViewer(kOrthoViewer);
    glPixelStorei(setting.name, setting.value);
    draw();
    const std::vector<LitPixel> lit = litPixels();
    ASSERT_EQ(lit.size(), clean.size());
    for (std::size_t i = 0; i < lit.size(); ++i) {
      EXPECT_EQ(lit[i].x, clean[i].x);
      EXPECT_EQ(lit[i].y, clean[i].y);
    }
    EXPECT_EQ(glInteger(setting.name), setting.value) << "the viewer's own setting is given back";
    glPixelStorei(setting.name, setting.name == GL_UNPACK_ALIGNMENT ? 4 : 0);
  }
}

TEST_F(GlViewerDrawingTest, EmptyNameStillAsksForTextButDrawsNoPixel) {
  placeNode({0.25, -0.5, 0});
  nodeOf(op).name = "";
  for (const bool selected : {false, true}) {
    SCOPED_TRACE(selected ? "selected" : "not selected");
    nodeOf(op).selected = selected;
    useViewer(kOrthoViewer);
    draw();

    const std::vector<GlCall> calls = glRecord();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, "glColor");
    EXPECT_EQ(calls[1].function, "gl_text");
    EXPECT_EQ(calls[1].text, "");
    EXPECT_EQ(calls[1].length, 0);
    EXPECT_TRUE(litPixels().empty());
  }
}

// The label is the host's name for the node, through its callback, not the
// op's own print_name.
TEST_F(GlViewerDrawingTest, LabelIsWhatTheHostsNameCallbackWrites) {
  placeNode({0.25, -0.5, 0});
  DD::Image::Op::print_name_cb = [](std::ostream& out, const DD::Image::Op* named) {
    out << "host:" << nodeOf(named).name;
  };
  draw();

  const std::vector<GlCall> calls = glRecord();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].function, "gl_text");
  EXPECT_EQ(calls[1].text, "host:Bounce1");
  EXPECT_EQ(calls[1].length, 12);
  EXPECT_FALSE(hostCalled("print_name"));
}

TEST_F(GlViewerDrawingTest, RenameShowsAtTheNextDraw) {
  placeNode({-0.3, 0.2, 0.5});
  const std::array<double, 4> start = kOrthoViewer.window({-0.3, 0.2, 0.5});
  const int corner = labelCorner(start)[0];

  int previousRight = -1;
  for (const std::string& name : {std::string("B1"), std::string("Renamed")}) {
    SCOPED_TRACE("named " + name);
    nodeOf(op).name = name;
    useViewer(kOrthoViewer);
    draw();

    const std::vector<GlCall> calls = glRecord();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].text, name);
    EXPECT_EQ(calls[1].length, static_cast<int>(name.size()));
    const auto position = glFloats<GL_CURRENT_RASTER_POSITION, 4>();
    EXPECT_NEAR(position[0], start[0] + kGlyphWidth * static_cast<double>(name.size()), 0.01);

    const std::vector<LitPixel> lit = litPixels();
    ASSERT_FALSE(lit.empty());
    int right = -1;
    for (const LitPixel& p : lit) {
      right = std::max(right, p.x);
    }
    // The run reaches into the last glyph's cell and not past it.
    const int lastCell = corner + kGlyphWidth * (static_cast<int>(name.size()) - 1);
    EXPECT_GE(right, lastCell);
    EXPECT_LT(right, lastCell + kGlyphWidth);
    EXPECT_GT(right, previousRight);
    previousRight = right;
  }
}

}  // namespace
