// A stand-in host with one indirect light, an image node and a 3D node.
#pragma once

#include <standin/ddimage/BuiltinOps.h>
#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Node.h>
#include <standin/lumox/Transcript.h>

#include <lumoxindirect/LumoxIndirectBase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace testsupport {

class NodeFixture : public ::testing::Test {
protected:
  void SetUp() override {
    standin::lumox::reset();
    DD::Image::Op::print_name_cb = standin::ddimage::printNodeName;
    op = graph.create("LumoxIndirect", "Bounce1");
    light = dynamic_cast<lumoxindirect::LumoxIndirectBase*>(op);
    ASSERT_NE(light, nullptr);
    image = graph.create("Constant", "Plate1");
    card = graph.create("Card", "Card1");
    graph.buildPanel(op);
    standin::lumox::clearTranscript();
    hostCalls().clear();
  }

  void TearDown() override { DD::Image::Op::print_name_cb = standin::ddimage::printNodeName; }

  std::vector<std::string>& hostCalls() { return standin::ddimage::nodeOf(op).calls; }

  bool hostCalled(const std::string& call) {
    return std::find(hostCalls().begin(), hostCalls().end(), call) != hostCalls().end();
  }

  standin::ddimage::Control& control(const std::string& name) {
    standin::ddimage::Control* found = standin::ddimage::findControl(op, name);
    if (found == nullptr) {
      throw std::runtime_error("no control " + name);
    }
    return *found;
  }

  standin::ddimage::Graph graph;
  DD::Image::Op* op = nullptr;
  lumoxindirect::LumoxIndirectBase* light = nullptr;
  DD::Image::Op* image = nullptr;
  DD::Image::Op* card = nullptr;
};

}  // namespace testsupport
