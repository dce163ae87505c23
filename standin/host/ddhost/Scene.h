// Turning a script's description into nodes of the host's graph.
#pragma once

#include <ddhost/ScriptReader.h>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace DD {
namespace Image {
class Op;
}
}  // namespace DD

namespace standin {
namespace ddimage {
class Graph;
}
}  // namespace standin

namespace ddhost {

// Something in the script the host cannot make a scene of.
class SceneError : public std::runtime_error {
public:
  SceneError(std::size_t line, const std::string& message) : std::runtime_error(message), line_(line) {}
  std::size_t line() const { return line_; }

private:
  std::size_t line_;
};

struct SceneNode {
  DD::Image::Op* op = nullptr;
  std::size_t line = 0;  // where its block starts
};

// Creates the nodes of a script in `graph`, statement by statement as they
// are read, with their knobs set and their inputs connected: the script
// need not be in memory whole.
class SceneBuilder {
public:
  // `whereClassesComeFrom` ends the message about an unknown node class:
  // where plug-ins were looked for.
  SceneBuilder(standin::ddimage::Graph& graph, std::string whereClassesComeFrom);
  ~SceneBuilder();
  SceneBuilder(const SceneBuilder&) = delete;
  SceneBuilder& operator=(const SceneBuilder&) = delete;

  // The statement is needed only during the call. Throws SceneError.
  void add(const NodeBlock& node);
  void add(const Push& push);
  // The nodes in script order.
  std::vector<SceneNode> finish();

private:
  class Builder;
  std::unique_ptr<Builder> builder_;
};

// Validates every node for real, as the host does before rendering.
// Throws SceneError at the line of a node that fails.
void validateScene(const std::vector<SceneNode>& nodes);

}  // namespace ddhost
