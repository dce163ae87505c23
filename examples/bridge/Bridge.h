// A small renderer bridge: finds the indirect lights among a host's ops and
// has each declare itself to the renderer.
#pragma once

#include <string>
#include <vector>

namespace DD {
namespace Image {
class Op;
}  // namespace Image
}  // namespace DD

namespace bridge {

struct Settings {
  float sampleScale = 1.0f;  // multiplies every light's samples
  bool asShader = false;     // declare shader instances instead of lights
};

// What the bridge learnt of one light while it emitted it.
struct EmittedLight {
  std::string name;
  std::vector<std::string> categories;  // sorted, as the node keeps them
  std::vector<std::string> images;      // inputs made available to the renderer
};

// Emits every indirect light among `ops`, in their order, into the
// renderer's open scene; other ops are passed by. Throws std::runtime_error
// naming the first light that could not be emitted.
std::vector<EmittedLight> emitLights(const std::vector<DD::Image::Op*>& ops, const Settings& settings);

}  // namespace bridge
