// Control descriptions are kept once per class: nodes that declare the same
// share them and keep their own values; a node that declares otherwise gets
// descriptions of its own without touching its class's.
#include <standin/ddimage/ClassControls.h>
#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Node.h>

#include <DDImage/Knobs.h>
#include <DDImage/LightOp.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using standin::ddimage::Control;
using standin::ddimage::ControlDescription;
using standin::ddimage::nodeOf;

// What a test op declares; every field is an option the host must keep.
struct Declaration {
  double maximum = 10;
  const char* tooltip = "tip";
  bool bipolar = true;
  bool extra = false;  // one more control at the end
};

// A light whose panel depends on the declaration it was made with.
class VaryingLight : public DD::Image::LightOp {
public:
  static Declaration next;
  static DD::Image::Op::Description description;

  explicit VaryingLight(DD::Image::Node* node) : LightOp(node), declaration_(next) {}
  const char* Class() const override { return "VaryingLight"; }
  const char* node_help() const override { return "test light"; }

  void knobs(DD::Image::Knob_Closure& f) override {
    using namespace DD::Image;
    given_.clear();
    given_.push_back(f(FLOAT_KNOB, FloatPtr, &gain, "gain", "gain", nullptr));
    SetRange(f, 0, declaration_.maximum);
    SetFlags(f, FORCE_RANGE);
    if (declaration_.bipolar) {
      SetFlags(f, BIPOLAR);
    }
    if (declaration_.tooltip != nullptr) {
      Tooltip(f, declaration_.tooltip);
    }
    given_.push_back(f(TEXT_KNOB, NoStorage, nullptr, nullptr, "-", nullptr));
    given_.push_back(f(INT_KNOB, IntPtr, &count, "count", "count", nullptr));
    if (declaration_.extra) {
      given_.push_back(f(FLOAT_KNOB, FloatPtr, nullptr, "loose", "loose", nullptr));
    }
  }

  float gain = 0;
  std::int32_t count = 0;
  std::vector<DD::Image::Knob*> given_;

private:
  Declaration declaration_;
};

Declaration VaryingLight::next;
DD::Image::Op::Description VaryingLight::description("VaryingLight",
                                                      [](DD::Image::Node* node) -> DD::Image::Op* {
                                                        return new VaryingLight(node);
                                                      });

class ClassControls : public ::testing::Test {
protected:
  VaryingLight& make(const Declaration& declaration) {
    VaryingLight::next = declaration;
    auto* op = static_cast<VaryingLight*>(graph.create("VaryingLight"));
    graph.buildPanel(op);
    return *op;
  }

  static const ControlDescription& described(const VaryingLight& op, const std::string& name) {
    const Control* control = standin::ddimage::findControl(&op, name);
    if (control == nullptr) {
      throw std::runtime_error("no control " + name);
    }
    return control->description();
  }

  standin::ddimage::Graph graph;
};

TEST_F(ClassControls, NodesDeclaringAlikeShareDescriptionsAndKeepTheirOwnValues) {
  VaryingLight& a = make({});
  VaryingLight& b = make({});
  const auto& controlsA = nodeOf(&a).controls;
  const auto& controlsB = nodeOf(&b).controls;
  ASSERT_EQ(controlsA.size(), 4u);  // the host's intensity and three
  ASSERT_EQ(controlsB.size(), controlsA.size());
  for (std::size_t i = 0; i < controlsA.size(); ++i) {
    EXPECT_EQ(&controlsA[i].description(), &controlsB[i].description()) << i;
  }
  standin::ddimage::findControl(&a, "gain")->setNumber(20);  // clamped into the range
  standin::ddimage::findControl(&b, "gain")->setNumber(3);
  standin::ddimage::findControl(&a, "intensity")->setNumber(0.5);
  EXPECT_EQ(a.gain, 10.0f);
  EXPECT_EQ(b.gain, 3.0f);
  EXPECT_EQ(standin::ddimage::findControl(&a, "intensity")->number(), 0.5f);
  EXPECT_EQ(standin::ddimage::findControl(&b, "intensity")->number(), 1.0f);
}

// Each node's controls are what its own op declared, whichever node of the
// class came first, and the class's are left as they were.
TEST_F(ClassControls, ANodeDeclaringOtherwiseGetsItsOwnDescriptions) {
  struct Case {
    const char* what;
    Declaration declaration;
  };
  const Case cases[] = {
      {"another range", {20, "tip", true, false}},
      {"another tooltip", {10, "other", true, false}},
      {"no tooltip", {10, nullptr, true, false}},
      {"fewer flag changes", {10, "tip", false, false}},
      {"one more control", {10, "tip", true, true}},
  };
  const VaryingLight& first = make({});
  const ControlDescription& shared = described(first, "gain");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const VaryingLight& other = make(c.declaration);
    const ControlDescription& own = described(other, "gain");
    EXPECT_EQ(own.range, std::make_pair(0.0, c.declaration.maximum));
    EXPECT_EQ(own.tooltip, c.declaration.tooltip != nullptr ? std::optional<std::string>(c.declaration.tooltip)
                                                            : std::nullopt);
    EXPECT_EQ(own.flagChanges.size(), c.declaration.bipolar ? 2u : 1u);
    EXPECT_EQ(own.flags, c.declaration.bipolar ? DD::Image::FORCE_RANGE | DD::Image::BIPOLAR
                                               : std::uint64_t{DD::Image::FORCE_RANGE});
    EXPECT_EQ(nodeOf(&other).controls.size(), c.declaration.extra ? 5u : 4u);
    // What did not differ is still shared.
    EXPECT_EQ(&described(other, "count"), &described(first, "count"));
    // The first node's control is as it was declared.
    EXPECT_EQ(&described(first, "gain"), &shared);
    EXPECT_EQ(shared.range, std::make_pair(0.0, 10.0));
    EXPECT_EQ(shared.tooltip, std::optional<std::string>("tip"));
    EXPECT_EQ(shared.flagChanges.size(), 2u);
  }
}

TEST_F(ClassControls, TheClassListsWhatItsFirstPanelDeclared) {
  make({});
  make({30, nullptr, false, true});
  const auto listed = standin::ddimage::classControls("VaryingLight");
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0]->name, std::optional<std::string>("gain"));
  EXPECT_EQ(listed[0]->range, std::make_pair(0.0, 10.0));
  EXPECT_EQ(listed[1]->name, std::nullopt);
  EXPECT_EQ(listed[1]->label, std::optional<std::string>("-"));
  EXPECT_EQ(listed[2]->kind, standin::ddimage::ControlKind::Integer);
  EXPECT_TRUE(standin::ddimage::classControls("NoSuchClass").empty());
}

// Ops keep the Knob pointers they were given; the panel may not move them,
// nor may hiding one change what it is.
TEST_F(ClassControls, ControlsStayWhereTheOpWasToldTheyAre) {
  for (const bool extra : {false, true, false}) {
    VaryingLight& op = make({10, "tip", true, extra});
    const auto& controls = nodeOf(&op).controls;
    ASSERT_EQ(op.given_.size() + 1, controls.size());
    for (std::size_t i = 0; i < op.given_.size(); ++i) {
      EXPECT_EQ(op.given_[i], &controls[i + 1]);
    }
    op.given_[0]->visible(false);
    const Control& gain = controls[1];
    EXPECT_FALSE(gain.isVisible());
    EXPECT_STREQ(gain.name(), "gain");
    EXPECT_EQ(gain.range(), std::make_pair(0.0, 10.0));
    op.given_[0]->visible(true);
    EXPECT_TRUE(gain.isVisible());
  }
}

}  // namespace
