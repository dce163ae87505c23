// The host's record of one node: what the SDK keeps behind an op's Node*.
#pragma once

#include <standin/ddimage/Controls.h>

#include <DDImage/Op.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace DD {
namespace Image {

class DDIMAGE_API Node {
public:
  Node();
  ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  std::string name;
  bool selected = false;
  // One slot per input; null where nothing is connected.
  std::vector<Op*> inputs;
  // The controls the op declared, and the host's own ones.
  std::vector<std::unique_ptr<standin::ddimage::Control>> controls;
  // The text of each named text control: the op's member points in here,
  // so it stays valid for the node's life, across rebuilt panels.
  std::map<std::string, std::string> texts;
  // Every host operation the op called, in order, e.g. "validate(false)".
  std::vector<std::string> calls;
  // What the host's Op::knob_changed answers for this node.
  int knobChangedAnswer = 1;
};

}  // namespace Image
}  // namespace DD
