// The viewer picture, drawn where no fault of the OpenGL implementation can
// end the run: on Linux in a child process forked once the scene is built,
// before any OpenGL driver is loaded; on Windows in a second ddhost process
// started before the script is read, which builds the same scene from the
// statements this one has read, as they are read.
#pragma once

#include "CommandLine.h"
#include "Scene.h"
#include "plugins/Plugins.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ddhost {

// What the drawing printed is handed, a line at a time, to `printed`: the
// line as it came, without its line end.
using PrintedLine = std::function<void(const std::string& line)>;

// The picture as PNG bytes. Throws SceneError when a node's drawing fails,
// std::runtime_error with the whole message otherwise: out of memory, out of
// descriptors, no context, or the drawing's end by a signal or an exit.
std::string drawViewerPng(const std::vector<SceneNode>& nodes, ViewerSize size, const PrintedLine& printed);

// The message for a picture that does not fit the memory the process may have.
std::string viewerMemoryMessage(ViewerSize size);

// One viewer picture: made before the scene is built, told each statement
// the builder took, then asked for the picture. On Linux the statements are
// not needed. `printed` may be called from another thread on Windows.
class ViewerDrawing {
public:
  // Throws std::runtime_error when the drawing cannot be started.
  ViewerDrawing(const PluginFolder& plugins, ViewerSize size, PrintedLine printed);
  ~ViewerDrawing();
  ViewerDrawing(const ViewerDrawing&) = delete;
  ViewerDrawing& operator=(const ViewerDrawing&) = delete;

  void add(const NodeBlock& node);
  void add(const Push& push);
  // As drawViewerPng.
  std::string draw(const std::vector<SceneNode>& nodes);

private:
  struct Process;
  ViewerSize size_;
  PrintedLine printed_;
  std::unique_ptr<Process> process_;
};

// The second process's side: `argv` is ddhost's own, and this returns the
// exit status when it names the drawing child, nothing otherwise.
std::optional<int> runViewerChildIfAsked(int argc, char** argv);

}  // namespace ddhost
