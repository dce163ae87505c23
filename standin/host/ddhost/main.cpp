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

#include <cstdint>
#include <iostream>
#include <string>
#include <stdexcept>

namespace {

// Exit statuses; parseCommandLine gives 2 for what it finds wrong itself.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kWrongCommandLine = 2;
// Pieces a script file is read again in.
constexpr std::size_t kScriptPiece = 1 << 20;

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

  // Read through once for syntax errors, which are reported before any the
  // scene has; the scene is then built statement by statement. A script
  // file is read again a piece at a time, so a large one is not held whole
  // while its nodes are built.
  const bool fromFile = options.script != "-";
  std::string script = ddhost::readScriptBytes(options.script);
  const std::size_t scriptSize = script.size();
  const ddhost::ScriptCheck check = ddhost::checkScript(script, fromFile ? kScriptPiece : SIZE_MAX);
  if (check.error) {
    std::cerr << options.script << ":" << check.error->line << ": " << check.error->message << "\n";
    return kFailure;
  }
  if (fromFile) {
    std::string().swap(script);
  }

  standin::ddimage::Graph graph;
  // The record of host calls is for tests; a host run only renders.
  graph.setRecordCalls(false);
  try {
    ddhost::SceneBuilder builder(graph, check.nodeBlocks);
    for (std::size_t i = 0; i < check.pieces.size(); ++i) {
      const ddhost::ScriptPiece& piece = check.pieces[i];
      const std::size_t end = i + 1 < check.pieces.size() ? check.pieces[i + 1].offset : scriptSize;
      if (fromFile) {
        ddhost::readScriptPiece(options.script, piece.offset, end, script);
        builder.add(script, piece.line);
      } else {
        builder.add(std::string_view(script).substr(piece.offset, end - piece.offset), piece.line);
      }
    }
    const std::vector<ddhost::SceneNode> nodes = builder.finish();
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
