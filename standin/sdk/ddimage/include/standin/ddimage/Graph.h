// The stand-in host's node graph: creates ops through the registered
// classes, connects them, names and selects them, and builds their panels.
#pragma once

#include <standin/ddimage/Controls.h>

#include <DDImage/Op.h>

#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace DD {
namespace Image {
class Node;
}
}  // namespace DD

namespace standin {
namespace ddimage {

// Writes the op's node name; what the host installs as Op::print_name_cb.
DDIMAGE_API void printNodeName(std::ostream& out, const DD::Image::Op* op);

class DDIMAGE_API Graph {
public:
  Graph();
  ~Graph();
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  // Creates a node of a registered class; an empty name gives the class
  // name and a counter ("LumoxIndirect1"). Throws std::invalid_argument for
  // an unknown class.
  DD::Image::Op* create(const std::string& className, const std::string& name = {});

  // Connects `source` (or nothing) to input `index` of `op`, growing the
  // op's input slots as needed.
  void connect(DD::Image::Op* op, int index, DD::Image::Op* source);

  // Asks the op for its panel. Light ops first get the host's own
  // `intensity` control unless `hostIntensity` is false.
  void buildPanel(DD::Image::Op* op, bool hostIntensity = true);

  DD::Image::Op* find(const std::string& name) const;

  // Makes room for `nodes` more nodes at once.
  void reserve(std::size_t nodes);

  // Whether nodes created from now on record the host calls their ops make
  // (Node::calls); on by default.
  void setRecordCalls(bool on) { recordCalls_ = on; }
  const std::vector<DD::Image::Op*>& ops() const { return order_; }

private:
  struct Entry {
    std::unique_ptr<DD::Image::Node> node;
    std::unique_ptr<DD::Image::Op> op;
  };
  std::vector<Entry> entries_;
  std::vector<DD::Image::Op*> order_;
  std::map<std::string, int> counters_;
  bool recordCalls_ = true;
};

DDIMAGE_API DD::Image::Node& nodeOf(const DD::Image::Op* op);
DDIMAGE_API Control* findControl(const DD::Image::Op* op, std::string_view name);

}  // namespace ddimage
}  // namespace standin
