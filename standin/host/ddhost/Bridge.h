// The renderer bridge: asks each indirect light of the scene to declare
// itself to the renderer library, between WorldBegin and WorldEnd.
#pragma once

#include "CommandLine.h"
#include <ddhost/OutputFile.h>
#include "Scene.h"

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ddhost {

// One run's session with the renderer library's RIB writer: its output goes
// into `file`, or, when that is null, into a buffer meant for standard
// output.
class RibSession {
public:
  explicit RibSession(OutputFile* file);
  // Ends the renderer's output if close() did not.
  ~RibSession();
  RibSession(const RibSession&) = delete;
  RibSession& operator=(const RibSession&) = delete;

  // Ends the renderer's output. Throws std::runtime_error when it is not
  // the whole scene: writing failed, or the renderer refused scene calls.
  void close();
  // The buffer's bytes, when there is no file.
  std::string standardOutputBytes() const { return buffer_.str(); }

private:
  OutputFile* file_;
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
