#include "lumoxindirect/NodeFixture.h"

#include <DDImage/Knobs.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using standin::ddimage::Control;
using testsupport::NodeFixture;

struct Expected {
  int type;
  int storage;
  std::optional<std::string> name;
  std::optional<std::string> label;
  std::optional<std::pair<double, double>> range;
  std::vector<std::string> flags;
  bool hasTooltip;
};

TEST_F(NodeFixture, PanelDeclaresElevenControlsTheFirstTenUnchanged) {
  graph.buildPanel(op, false);
  const auto& controls = standin::ddimage::nodeOf(op).controls;
  using P = std::pair<double, double>;
  const std::optional<std::string> none;
  const Expected expected[] = {
      {3, 3, "samples", "samples", P{0, 1000}, {"+2"}, false},
      {3, 3, "bounces", "bounces", P{1, 3}, {"+2"}, false},
      {26, 17, none, " ", std::nullopt, {}, false},
      {18, 1, "color", "color", std::nullopt, {}, false},
      {8, 1, "exposure", "exposure", P{-10, 10}, {"-16", "+4"}, true},
      {8, 1, "falloff", "falloff", P{0, 3}, {"-4"}, true},
      {26, 17, none, " ", std::nullopt, {}, false},
      {8, 1, "bias", "bias", std::nullopt, {}, true},
      {8, 1, "max_distance", "max. distance", std::nullopt, {}, true},
      {26, 17, none, none, std::nullopt, {}, false},
      {1, 5, "category", "category", std::nullopt, {}, true},
  };
  ASSERT_EQ(controls.size(), std::size(expected));
  for (std::size_t i = 0; i < controls.size(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i + 1));
    const Control& c = controls[i];
    const Expected& e = expected[i];
    EXPECT_EQ(c.type(), e.type);
    EXPECT_EQ(c.storage(), e.storage);
    EXPECT_EQ(c.hasName() ? std::optional<std::string>(c.name()) : std::nullopt, e.name);
    EXPECT_EQ(c.label(), e.label);
    EXPECT_EQ(c.range(), e.range);
    EXPECT_EQ(c.flagHistory(), e.flags);
    EXPECT_EQ(c.tooltip().has_value(), e.hasTooltip);
    EXPECT_EQ(c.pointer() == nullptr, e.type == 26);
  }
}

// A host's closure that keeps every call in order. The range, flags and
// tooltip apply to the control declared last, so their place in the
// sequence decides which control they belong to.
class RecordingClosure : public DD::Image::Knob_Closure {
public:
  DD::Image::Knob* operator()(int type, int /*storage*/, void* /*pointer*/, const char* name, const char* label,
                              const void* /*extra*/) override {
    calls.push_back("declare " + std::to_string(type) + " " + (name != nullptr ? name : "-") + " \"" +
                    (label != nullptr ? label : "-") + "\"");
    return nullptr;
  }
  void range(double minimum, double maximum) override {
    std::ostringstream text;
    text << "range " << minimum << " " << maximum;
    calls.push_back(text.str());
  }
  void setFlags(std::uint64_t mask) override { calls.push_back("+" + std::to_string(mask)); }
  void clearFlags(std::uint64_t mask) override { calls.push_back("-" + std::to_string(mask)); }
  void tooltip(const char* text) override { calls.push_back(text != nullptr ? "tooltip" : "tooltip null"); }

  std::vector<std::string> calls;
};

TEST_F(NodeFixture, EachControlsRangeFlagsAndTooltipFollowItsDeclaration) {
  RecordingClosure closure;
  op->knobs(closure);
  const std::vector<std::string> expected = {
      "declare 3 samples \"samples\"", "range 0 1000", "+2",
      "declare 3 bounces \"bounces\"", "range 1 3", "+2",
      "declare 26 - \" \"",
      "declare 18 color \"color\"",
      "declare 8 exposure \"exposure\"", "range -10 10", "-16", "+4", "tooltip",
      "declare 8 falloff \"falloff\"", "range 0 3", "-4", "tooltip",
      "declare 26 - \" \"",
      "declare 8 bias \"bias\"", "tooltip",
      "declare 8 max_distance \"max. distance\"", "tooltip",
      "declare 26 - \"-\"",
      "declare 1 category \"category\"", "tooltip",
  };
  EXPECT_EQ(closure.calls, expected);
}

// The panel is the node's own: declaring the base class's controls too would
// put them beside these.
TEST_F(NodeFixture, KnobsDoNotChainToTheBaseClass) {
  // The stand-in's base records being called: an op without its own panel.
  graph.buildPanel(card);
  const auto& cardCalls = standin::ddimage::nodeOf(card).calls;
  ASSERT_NE(std::find(cardCalls.begin(), cardCalls.end(), "Op::knobs"), cardCalls.end());

  for (const bool hostIntensity : {false, true}) {
    graph.buildPanel(op, hostIntensity);
    EXPECT_FALSE(hostCalled("Op::knobs")) << "host intensity " << hostIntensity;
  }
}

TEST_F(NodeFixture, TooltipsAreTheArtistsText) {
  EXPECT_EQ(control("exposure").tooltip(),
            std::optional<std::string>(
                "The exposure in stops.\nLight intensity doubles/halves with each increment/decrement by 1.0.\n\n"
                "If you make this a negative number, the light will suck (subtract)  light instead of adding it."));
  EXPECT_EQ(control("falloff").tooltip(),
            std::optional<std::string>(
                "The falloff exponent.\nLight intensity diminishes inversely proportional to the distance raised to "
                "this value.\nSome example values:<blockquote><b>0</b> No falloff, the light intensity does not "
                "diminish with distance.\n<b>1</b> Linear falloff, the light intensity diminishes linearly with "
                "distance.\n<b>2</b> Quadratic falloff, the light intensity diminishes quadratic with distance.\n"
                "<i>This is the only physically correct value that models the behavior of light in "
                "reality.</i></blockquote>"));
  EXPECT_EQ(control("bias").tooltip(),
            std::optional<std::string>("Offset added to the surface to avoid self-shadowing artifacts."));
  EXPECT_EQ(control("max_distance").tooltip(),
            std::optional<std::string>("Maxiumum distance the light will cast shadows.\nIn scene units (world)."));
}

TEST_F(NodeFixture, HostIntensityControlIsHidden) {
  Control& intensity = control("intensity");
  EXPECT_FALSE(intensity.isVisible());
  for (const Control& c : standin::ddimage::nodeOf(op).controls) {
    if (&c != &intensity) {
      EXPECT_TRUE(c.isVisible()) << (c.hasName() ? c.name() : "(unnamed)");
    }
  }
  // The host's own control comes first, then the node's eleven.
  const auto& controls = standin::ddimage::nodeOf(op).controls;
  ASSERT_EQ(controls.size(), 12u);
  EXPECT_EQ(&controls[0], &intensity);
}

TEST_F(NodeFixture, WithoutHostIntensityThePanelIsUnchanged) {
  graph.buildPanel(op, false);
  EXPECT_EQ(standin::ddimage::findControl(op, "intensity"), nullptr);
  EXPECT_EQ(standin::ddimage::nodeOf(op).controls.size(), 11u);
}

TEST_F(NodeFixture, IntensityIsLookedUpAfterColorAndBeforeExposure) {
  hostCalls().clear();
  graph.buildPanel(op, true);
  const auto& calls = hostCalls();
  const auto at = [&](const std::string& call) { return std::find(calls.begin(), calls.end(), call) - calls.begin(); };
  ASSERT_LT(at("knob(intensity)"), static_cast<long>(calls.size()));
  EXPECT_LT(at("declare(color)"), at("knob(intensity)"));
  EXPECT_LT(at("knob(intensity)"), at("declare(exposure)"));
}

}  // namespace
