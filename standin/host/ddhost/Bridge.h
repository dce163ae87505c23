// The renderer bridge: asks each indirect light of the scene to declare
// itself to the renderer library, between WorldBegin and WorldEnd.
#pragma once

#include "CommandLine.h"
#include <ddhost/OutputFile.h>
#include <ddhost/StandardOutput.h>
#include "Scene.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ddhost {

// One run's session with the renderer library's RIB writer: its output goes
// into `file`, or, when that is null, into `standardOutput`.
class RibSession {
public:
  RibSession(OutputFile* file, HeldOutput& standardOutput);
  // Ends the renderer's output if close() did not.
  ~RibSession();
  RibSession(const RibSession&) = delete;
  RibSession& operator=(const RibSession&) = delete;

  // Ends the renderer's output. Throws std::runtime_error when it is not
  // the whole scene: writing failed, or the renderer refused scene calls.
  void close();

private:
  OutputFile* file_;
  HeldOutput& held_;
  std::ostream heldStream_;
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
