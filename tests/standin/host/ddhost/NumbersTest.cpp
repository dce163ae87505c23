// Numbers on the command line and in knobs keep to one rule: a float holds
// them, and one that is not 0 does not become 0. Each refusal names the
// bound the number breaks.
#include "DdhostRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testsupport::ddhost;
using testsupport::ProcessResult;

const std::string kTooSmall =
    "0 or large enough that a float does not read it as 0 (the smallest float is 1.4013e-45)";
const std::string kTooLarge = "within the float range (at most 3.40282e+38";

TEST(DdhostNumbers, ASampleScaleIsToldTheBoundItBreaks) {
  struct Case {
    std::string value;
    std::string says;  // empty: accepted
  };
  const std::string negative = "must be a finite number >= 0";
  const Case cases[] = {
      {"1e-400", "must be " + kTooSmall},
      {"1e-46", "must be " + kTooSmall},
      {"0." + std::string(50, '0') + "1", "must be " + kTooSmall},
      {"1e-310", "must be " + kTooSmall},  // a double, but below every float
      {"-1e400", negative},
      {"-1e-400", negative},
      {"-1e-46", negative},
      {"-1", negative},
      {"1e39", "must be " + kTooLarge + ")"},
      {"1e400", "must be " + kTooLarge + ")"},
      {"1" + std::string(400, '0'), "must be " + kTooLarge + ")"},
      {"1e", negative},
      {"nan", negative},
      {"4x", negative},
      {"inf", negative},
      // A float reads these as numbers other than 0: the smallest float,
      // which 1e-45 rounds to, and one below the normal range.
      {"1e-45", ""},
      {"1e-40", ""},
      {"0", ""},
      {"-0", ""},
      {"0e-999", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const ProcessResult run = ddhost({"--sample-scale", c.value, testsupport::exampleScript("bounce-light")});
    if (c.says.empty()) {
      EXPECT_EQ(run.exitStatus, 0) << run.err;
      EXPECT_EQ(run.err, "");
      continue;
    }
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    const std::string shown = c.value.size() > 40 ? c.value.substr(0, 40) + "..." : c.value;
    EXPECT_EQ(testsupport::lines(run.err),
              std::vector<std::string>{"ddhost: --sample-scale: " + c.says + ", not \"" + shown +
                                       "\" (ddhost --help lists the options)"});
  }
}

TEST(DdhostNumbers, AKnobIsToldTheBoundItBreaks) {
  struct Case {
    std::string knob;  // in a LumoxIndirect block, or a Card's for translate
    std::string says;  // empty: accepted
  };
  const std::string number = "takes a number that is ";
  const std::string color = "takes a color {R G B} or one number, each ";
  const Case cases[] = {
      {"exposure 1e-46", "knob exposure " + number + kTooSmall + ", not \"1e-46\""},
      {"exposure 1e-400", "knob exposure " + number + kTooSmall + ", not \"1e-400\""},
      {"exposure -1e-400", "knob exposure " + number + kTooSmall + ", not \"-1e-400\""},
      {"exposure 1e39", "knob exposure " + number + kTooLarge + " in magnitude), not \"1e39\""},
      {"exposure -1e400", "knob exposure " + number + kTooLarge + " in magnitude), not \"-1e400\""},
      {"exposure 1x", "knob exposure takes a number, not \"1x\""},
      {"color {1 1e-46 0}", "knob color " + color + kTooSmall + ", not {1 1e-46 0}"},
      {"color 1e39", "knob color " + color + kTooLarge + " in magnitude), not \"1e39\""},
      {"translate {0 -1e39 0}", "knob translate takes {X Y Z}, each " + kTooLarge + " in magnitude), not {0 -1e39 0}"},
      {"xpos 1e-46", "knob xpos " + number + kTooSmall + ", not \"1e-46\""},
      {"exposure 1e-45", ""},
      {"exposure -1e-40", ""},
      {"exposure -0", ""},
      {"color {0 1e-45 -3.4e38}", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.knob);
    const bool card = c.knob.rfind("translate", 0) == 0;
    const std::string script = card ? "Card {\n " + c.knob + "\n}\n" : "LumoxIndirect {\n " + c.knob + "\n}\n";
    const ProcessResult run = ddhost({"-"}, script);
    if (c.says.empty()) {
      EXPECT_EQ(run.exitStatus, 0) << run.err;
      EXPECT_EQ(run.err, "");
      continue;
    }
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(testsupport::lines(run.err), std::vector<std::string>{"-:2: " + c.says});
  }
}

}  // namespace
