// ddhost: the stand-in host. Loads the plug-ins, reads a node script, and
// has the renderer bridge write the scene's lights as RIB; or prints the
// panel of a node class.
#include "Bridge.h"
#include "CommandLine.h"
#include "Describe.h"
#include "Files.h"
#include "Outputs.h"
#include "Plugins.h"
#include "Png.h"
#include "Scene.h"
#include "ScriptReader.h"
#include "Viewer.h"

#include <standin/ddimage/Graph.h>
#include <standin/lumox/Transcript.h>

#include <DDImage/Op.h>

#include <iostream>
#include <string>
#include <stdexcept>

namespace {

// Exit statuses; parseCommandLine gives 2 for what it finds wrong itself.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kWrongCommandLine = 2;

int run(const ddhost::Options& options, ddhost::RunOutputs& outputs) {
  // Plug-ins first, as a host loads them at start-up; declared before the
  // graph so that every node is gone before its plug-in is unloaded.
  const auto plugins = ddhost::loadPlugins(options.pluginDir ? std::filesystem::path(*options.pluginDir)
                                                             : ddhost::defaultPluginDir());
  DD::Image::Op::print_name_cb = standin::ddimage::printNodeName;
  // The renderer's transcript is for tests; a host run only wants the RIB.
  standin::lumox::setRecording(false);

  if (options.describe) {
    ddhost::writeStandardOutput(ddhost::describeClass(*options.describe));
    return kSuccess;
  }

  const ddhost::ReadResult read = ddhost::readScript(ddhost::readScriptBytes(options.script));
  if (const auto* error = std::get_if<ddhost::ScriptError>(&read)) {
    std::cerr << options.script << ":" << error->line << ": " << error->message << "\n";
    return kFailure;
  }

  standin::ddimage::Graph graph;
  try {
    const std::vector<ddhost::SceneNode> nodes = ddhost::buildScene(std::get<ddhost::Script>(read), graph);
    ddhost::validateScene(nodes);

    ddhost::RibOutput rib(outputs.rib());
    ddhost::emitScene(nodes, ddhost::BridgeSettings{options.sampleScale, options.asShader, options.exporter});
    rib.close();
    if (ddhost::OutputFile* picture = outputs.picture()) {
      ddhost::writePng(ddhost::drawViewer(nodes, options.viewerSize), *picture);
    }
    // Every result is complete before any is put in place.
    const std::string standardOutput = outputs.rib() == nullptr ? rib.standardOutputBytes() : std::string();
    outputs.commit(outputs.rib() == nullptr ? &standardOutput : nullptr);
  } catch (const ddhost::SceneError& error) {
    std::cerr << options.script << ":" << error.line() << ": " << error.what() << "\n";
    return kFailure;
  }
  return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  const ddhost::CommandLine commandLine = ddhost::parseCommandLine(argc, argv);
  if (!commandLine.options) {
    return commandLine.exitStatus;
  }
  try {
    // Every output is checked, and opened, before any work starts.
    ddhost::RunOutputs outputs(commandLine.options->output, commandLine.options->viewer);
    return run(*commandLine.options, outputs);
  } catch (const ddhost::OutputConflict& error) {
    std::cerr << "ddhost: " << error.what() << "\n";
    return kWrongCommandLine;
  } catch (const std::exception& error) {
    std::cerr << "ddhost: " << error.what() << "\n";
    return kFailure;
  }
}
