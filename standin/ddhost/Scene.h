// Turning a script's description into nodes of the host's graph.
#pragma once

#include "ScriptReader.h"

#include <cstddef>
#include <stdexcept>
#include <string>
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

// Creates the script's nodes in `graph`, in script order, with their knobs
// set and their inputs connected. Throws SceneError.
std::vector<SceneNode> buildScene(const Script& script, standin::ddimage::Graph& graph);

// Validates every node for real, as the host does before rendering.
// Throws SceneError at the line of a node that fails.
void validateScene(const std::vector<SceneNode>& nodes);

}  // namespace ddhost
