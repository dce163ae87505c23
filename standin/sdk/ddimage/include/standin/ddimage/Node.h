// The host's record of one node: what the SDK keeps behind an op's Node*.
#pragma once

#include <standin/ddimage/Controls.h>

#include <DDImage/Op.h>

#include <forward_list>
#include <functional>
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
  // One slot per input; null where nothing is connected.
  std::vector<Op*> inputs;
  // The controls the op declared, and the host's own ones.
  standin::ddimage::ControlList controls;
  // Values of controls that no op member holds (the host's own).
  union HostValue {
    float numbers[3];
    const char* text;
  };
  std::forward_list<HostValue> hostValues;
  // Every host operation the op called, in order, e.g. "validate(false)".
  std::vector<std::string> calls;
  // What the host's Op::knob_changed answers for this node.
  int knobChangedAnswer = 1;
  bool selected = false;
  // Whether `calls` is kept; a host run that only renders has no use for it.
  bool recordCalls = true;
};

}  // namespace Image
}  // namespace DD

namespace standin {
namespace ddimage {

// Told of each call recorded for any node, as it is recorded, so a test can
// look at the op while the host operation runs (what it has done before
// chaining). Kept once for the process rather than in every node, whose
// size counts at scale; an empty observer removes it.
using CallObserver = std::function<void(const DD::Image::Node& node, const std::string& call)>;
DDIMAGE_API void observeCalls(CallObserver observer);

}  // namespace ddimage
}  // namespace standin
