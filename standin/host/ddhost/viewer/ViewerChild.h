// The viewer picture, drawn where no fault of the OpenGL implementation can
// end the run: on Linux in a child process forked once the scene is built,
// before any OpenGL driver is loaded.
#pragma once

#include "CommandLine.h"
#include "Scene.h"

#include <functional>
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

}  // namespace ddhost
