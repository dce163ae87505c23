// The renderer bridge: asks each indirect light of the scene to declare
// itself to the renderer library, between WorldBegin and WorldEnd.
#pragma once

#include "CommandLine.h"
#include "Files.h"
#include "Scene.h"

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ddhost {

// The renderer library's RIB output for one run: a file that replaces its
// target only on commit, or a buffer printed only on commit. Destroying it
// uncommitted closes the output and leaves nothing behind.
class RibOutput {
public:
  // Opens the renderer's output; throws std::runtime_error.
  explicit RibOutput(const std::optional<std::string>& file);
  ~RibOutput();
  RibOutput(const RibOutput&) = delete;
  RibOutput& operator=(const RibOutput&) = delete;

  // Closes the output and puts it in place; throws std::runtime_error.
  void commit();

private:
  std::unique_ptr<ReplacementFile> file_;
  std::ostringstream buffer_;
  bool open_ = false;
};

struct BridgeSettings {
  float sampleScale = 1.0f;
  bool asShader = false;
  ExporterChoice exporter = ExporterChoice::Accept;
};

// Writes the scene into the open output. A light that fails is a SceneError
// at its line.
void emitScene(const std::vector<SceneNode>& nodes, const BridgeSettings& settings);

}  // namespace ddhost
