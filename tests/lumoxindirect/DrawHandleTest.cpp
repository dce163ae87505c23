// The node's viewer drawing replaces the light base class's rather than
// adding to it: the stand-in's bases record being called.
#include "lumoxindirect/NodeFixture.h"
#include "support/GlAvailability.h"

#include <standin/ddimage/HostViewerContext.h>
#include <standin/offscreen/OffscreenContext.h>

#include <DDImage/LightOp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using testsupport::NodeFixture;

bool called(const std::vector<std::string>& calls, const std::string& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST_F(NodeFixture, DrawHandleDoesNotChainToTheBaseClass) {
  standin::ddimage::HostViewerContext viewer;
  viewer.setDrawMode(4);

  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  const standin::offscreen::OffscreenContext gl{64, 64};

  // What a chaining light would leave: its base records the call.
  DD::Image::Op* other = graph.create("LumoxIndirect", "Bounce2");
  standin::ddimage::nodeOf(other).calls.clear();
  auto* otherLight = dynamic_cast<DD::Image::LightOp*>(other);
  ASSERT_NE(otherLight, nullptr);
  otherLight->DD::Image::LightOp::draw_handle(&viewer);
  ASSERT_TRUE(called(standin::ddimage::nodeOf(other).calls, "LightOp::draw_handle"));

  for (const int mode : {3, 4, 5}) {
    for (const bool selected : {false, true}) {
      SCOPED_TRACE("draw_mode " + std::to_string(mode) + (selected ? ", selected" : ""));
      hostCalls().clear();
      standin::ddimage::nodeOf(op).selected = selected;
      viewer.setDrawMode(mode);
      op->draw_handle(&viewer);
      EXPECT_FALSE(hostCalled("LightOp::draw_handle"));
      EXPECT_FALSE(hostCalled("Op::draw_handle"));
    }
  }
}

}  // namespace
