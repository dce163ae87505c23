#include "lumoxindirect/NodeFixture.h"

#include <DDImage/Knobs.h>

#include <cstddef>
#include <cstdint>

namespace {

using testsupport::NodeFixture;

TEST_F(NodeFixture, NewNodeHasItsDefaults) {
  EXPECT_EQ(control("samples").integer(), 4);
  EXPECT_EQ(control("color").colorValue(), (std::vector<float>{1, 1, 1}));
  EXPECT_EQ(control("exposure").number(), 0.0f);
  EXPECT_EQ(control("falloff").number(), 2.0f);
  EXPECT_EQ(control("bias").number(), 0.1f);
  EXPECT_EQ(control("max_distance").number(), 10.0f);
  EXPECT_EQ(control("bounces").integer(), 1);
  EXPECT_TRUE(light->categories()->empty());
}

TEST_F(NodeFixture, AnswersTheHostsFixedQuestions) {
  EXPECT_STREQ(op->Class(), "LumoxIndirect");
  EXPECT_STREQ(op->displayName(), "LumoxIndirect");
  EXPECT_STREQ(op->node_help(), "Orvanta indirect light node.");
  EXPECT_STREQ(op->node_shape(), "O");
  EXPECT_EQ(op->minimum_inputs(), 1);
  EXPECT_EQ(op->maximum_inputs(), 1);
  EXPECT_EQ(light->lightType(), 0);
}

TEST_F(NodeFixture, OneInputLabelledCol) {
  char buffer[64] = "untouched";
  EXPECT_STREQ(op->input_label(0, buffer), "col");
  EXPECT_STREQ(op->input_label(0, nullptr), "col");
  EXPECT_EQ(op->input_label(1, buffer), nullptr);
  EXPECT_EQ(op->input_label(-1, buffer), nullptr);
  EXPECT_STREQ(buffer, "untouched");
}

TEST_F(NodeFixture, AcceptsOnlyAnImageOnInputZero) {
  struct Case {
    int input;
    DD::Image::Op* candidate;
    bool accepted;
  };
  const Case cases[] = {
      {0, image, true},  {0, card, false},  {0, op, false},     {0, nullptr, false},
      {1, image, false}, {-1, image, false}, {2, image, false}, {1000, image, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(op->test_input(c.input, c.candidate), c.accepted)
        << "input " << c.input << " candidate " << (c.candidate != nullptr ? c.candidate->Class() : "null");
  }
}

// A control named "category", as a host that binds one would declare it.
const standin::ddimage::ControlDescription& categoryDescription() {
  static const standin::ddimage::ControlDescription description = [] {
    standin::ddimage::ControlDescription d;
    d.type = DD::Image::FLOAT_KNOB;
    d.storage = DD::Image::FloatPtr;
    d.kind = standin::ddimage::ControlKind::Float;
    d.name = "category";
    d.label = "category";
    return d;
  }();
  return description;
}

TEST_F(NodeFixture, KnobChangedPassesTheBaseAnswerThrough) {
  float value = 0;
  standin::ddimage::Control category(categoryDescription(), &value);
  for (const int answer : {0, 1, -7, 42}) {
    standin::ddimage::nodeOf(op).knobChangedAnswer = answer;
    EXPECT_EQ(op->knob_changed(&control("samples")), answer);
    EXPECT_EQ(op->knob_changed(&category), answer);
    EXPECT_EQ(op->knob_changed(nullptr), answer);
  }
}

TEST_F(NodeFixture, OnlyTheCategoryControlRebuildsTheSet) {
  float value = 0;
  standin::ddimage::Control category(categoryDescription(), &value);
  light->categories()->insert("stale");

  op->knob_changed(&control("samples"));
  op->knob_changed(&control("falloff"));
  op->knob_changed(nullptr);
  EXPECT_EQ(*light->categories(), (std::set<std::string>{"stale"}));

  op->knob_changed(&category);
  EXPECT_TRUE(light->categories()->empty());
}

TEST_F(NodeFixture, ValidationRebuildsTheSetThenRunsTheLightsOwn) {
  control("category").setText("key");
  // What the light's own validation finds when it runs: the rebuilt set.
  std::vector<std::set<std::string>> seenByBase;
  const DD::Image::Node* lightNode = &standin::ddimage::nodeOf(op);
  struct StopObserving {
    ~StopObserving() { standin::ddimage::observeCalls(nullptr); }
  } stopObserving;
  standin::ddimage::observeCalls([&](const DD::Image::Node& node, const std::string& call) {
    if (&node == lightNode && call.rfind("LightOp::_validate", 0) == 0) {
      seenByBase.push_back(*light->categories());
    }
  });
  for (const bool forReal : {false, true}) {
    SCOPED_TRACE(forReal ? "for real" : "not for real");
    *light->categories() = {"stale"};
    hostCalls().clear();
    seenByBase.clear();
    op->validate(forReal);
    EXPECT_EQ(*light->categories(), (std::set<std::string>{"key"}));
    const std::string chained = forReal ? "LightOp::_validate(true)" : "LightOp::_validate(false)";
    EXPECT_TRUE(hostCalled(chained)) << chained;
    EXPECT_EQ(seenByBase, (std::vector<std::set<std::string>>{{"key"}}));
  }
}

TEST_F(NodeFixture, CategoryControlIsBoundToTheCategoryText) {
  using Set = std::set<std::string>;
  standin::ddimage::Control& category = control("category");
  EXPECT_EQ(category.text(), "");

  // A change the host reports rebuilds the set at once.
  category.setText("key, rim-light");
  op->knob_changed(&category);
  EXPECT_EQ(*light->categories(), (Set{"key", "rim_light"}));

  // One it does not report is picked up by the next validation.
  category.setText("fill");
  EXPECT_EQ(*light->categories(), (Set{"key", "rim_light"}));
  op->validate(true);
  EXPECT_EQ(*light->categories(), (Set{"fill"}));

  category.setText("");
  op->validate(true);
  EXPECT_TRUE(light->categories()->empty());
}

// Before the host has built its panel, the node's text is bound to nothing.
TEST_F(NodeFixture, ANodeValidatedBeforeItsPanelHasNoCategories) {
  DD::Image::Op* unpanelled = graph.create("LumoxIndirect", "Bounce2");
  auto* unpanelledLight = dynamic_cast<lumoxindirect::LumoxIndirectBase*>(unpanelled);
  ASSERT_NE(unpanelledLight, nullptr);
  unpanelledLight->categories()->insert("stale");
  unpanelled->validate(true);
  EXPECT_TRUE(unpanelledLight->categories()->empty());
}

TEST_F(NodeFixture, CategoryTextOutlivesARebuiltPanel) {
  control("category").setText("key rim");
  for (int rebuild = 0; rebuild < 3; ++rebuild) {
    graph.buildPanel(op);
  }
  EXPECT_EQ(control("category").text(), "key rim");
  op->validate(true);
  EXPECT_EQ(*light->categories(), (std::set<std::string>{"key", "rim"}));
}

TEST_F(NodeFixture, CategoriesPointsAtTheSameSetEveryTime) {
  EXPECT_EQ(light->categories(), light->categories());
}

TEST_F(NodeFixture, TransformSitsAtItsFixedOffsetInTheNode) {
  auto* axis = dynamic_cast<DD::Image::AxisOp*>(op);
  ASSERT_NE(axis, nullptr);
  const auto* start = reinterpret_cast<const unsigned char*>(op);
  const auto* matrix = reinterpret_cast<const unsigned char*>(&axis->matrix());
  EXPECT_EQ(static_cast<std::size_t>(matrix - start), std::size_t{DD::Image::AxisOp::kMatrixOffset});
  EXPECT_EQ(static_cast<std::size_t>(matrix - start), 264u);
  // The op is the start of the object: no adjustment between the views.
  EXPECT_EQ(static_cast<const void*>(light), static_cast<const void*>(op));
}

TEST_F(NodeFixture, FactoryBuildsNodesOfTheRegisteredClass) {
  DD::Image::Op* second = graph.create("LumoxIndirect");
  EXPECT_STREQ(second->Class(), "LumoxIndirect");
  EXPECT_NE(dynamic_cast<lumoxindirect::LumoxIndirectBase*>(second), nullptr);
  EXPECT_EQ(standin::ddimage::nodeOf(second).name, "LumoxIndirect1");
}

}  // namespace
