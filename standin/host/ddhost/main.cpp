// ddhost: the stand-in host. Loads the plug-ins, reads a node script, and
// has the renderer bridge write the scene's lights as RIB; or prints the
// panel of a node class.
#include "Bridge.h"
#include "CommandLine.h"
#include "Describe.h"
#include "RunInputs.h"
#include "Scene.h"
#include "plugins/Plugins.h"
#include "script/ScriptFile.h"
#include "viewer/ViewerChild.h"

#include <ddhost/FileIdentity.h>
#include <ddhost/InterruptCleanup.h>
#include <ddhost/MessageText.h>
#include <ddhost/Outputs.h>
#include <ddhost/ScriptStream.h>

#include <standin/ddimage/Graph.h>
#include <standin/lumox/Transcript.h>

#include <DDImage/Op.h>

#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Exit statuses; parseCommandLine gives 2 for what it finds wrong itself.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kWrongCommandLine = 2;

void report(const std::string& message) {
  std::cerr << ddhost::printable(message) << "\n";
}

// The scene, built as the script is read. Syntax errors are reported before
// any the scene has: after a scene error the rest is still read, for a
// syntax error further down.
std::optional<std::vector<ddhost::SceneNode>> buildScene(const ddhost::Options& options, ddhost::ScriptFile& script,
                                                         standin::ddimage::Graph& graph,
                                                         const std::string& whereClassesComeFrom) {
  ddhost::ScriptStream stream([&script](char* into, std::size_t size) { return script.read(into, size); });
  ddhost::SceneBuilder builder(graph, whereClassesComeFrom);
  std::optional<ddhost::SceneError> sceneError;
  try {
    while (stream.next()) {
      if (sceneError) {
        continue;
      }
      try {
        if (const ddhost::NodeBlock* node = stream.node()) {
          builder.add(*node);
        } else {
          builder.add(*stream.push());
        }
      } catch (const ddhost::SceneError& error) {
        sceneError = error;
      }
    }
  } catch (const ddhost::ScriptError& error) {
    // An error in a mix of two versions is no error of either.
    script.checkUnchanged();
    report(options.script + ":" + std::to_string(error.line) + ": " + error.message);
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    report(options.script + ":" + std::to_string(stream.statementLine()) + ": out of memory holding " +
           std::to_string(stream.heldBytes()) + " bytes of the script from this line");
    return std::nullopt;
  }
  script.checkUnchanged();
  if (sceneError) {
    report(options.script + ":" + std::to_string(sceneError->line()) + ": " + sceneError->what());
    return std::nullopt;
  }
  return builder.finish();
}

int run(const ddhost::Options& options) {
  // The script is opened first, once, so that no output can name it.
  std::optional<ddhost::ScriptFile> script;
  if (!options.describe) {
    script.emplace(options.script);
  }
  const ddhost::PluginFolder folder =
      ddhost::findPlugins(options.pluginDir ? std::filesystem::path(*options.pluginDir) : ddhost::defaultPluginDir());

  // Every output is checked before any work starts; nothing is written
  // until the scene is built.
  std::optional<ddhost::RunOutputs> outputs;
  try {
    outputs.emplace(options.output, options.viewer, ddhost::runInputs(script ? &*script : nullptr, folder));
  } catch (const ddhost::OutputConflict& error) {
    report(std::string("ddhost: ") + error.what());
    return kWrongCommandLine;
  }

  // Plug-ins next, as a host loads them at start-up; declared before the
  // graph so that every node is gone before its plug-in is unloaded.
  auto plugins = ddhost::loadPlugins(folder);
  DD::Image::Op::print_name_cb = standin::ddimage::printNodeName;
  // The renderer's transcript is for tests; a host run only wants the RIB.
  standin::lumox::setRecording(false);
  const std::string whereClassesComeFrom = ddhost::describePluginFolder(folder);

  if (options.describe) {
    // Into -o as safely as a RIB, or to standard output.
    const std::string description = ddhost::describeClass(*options.describe, whereClassesComeFrom);
    if (ddhost::OutputFile* file = outputs->rib()) {
      file->write(description.data(), description.size());
    }
    outputs->commit(outputs->rib() == nullptr ? &description : nullptr, ddhost::RunOutputs::Afterwards::Exit);
    return kSuccess;
  }

  std::string standardOutput;
  {
    standin::ddimage::Graph graph;
    // The record of host calls is for tests; a host run only renders.
    graph.setRecordCalls(false);
    const std::optional<std::vector<ddhost::SceneNode>> nodes =
        buildScene(options, *script, graph, whereClassesComeFrom);
    if (!nodes) {
      return kFailure;
    }
    try {
      ddhost::validateScene(*nodes);
      ddhost::RibSession rib(outputs->rib());
      ddhost::emitScene(*nodes, ddhost::BridgeSettings{options.sampleScale, options.asShader, options.exporter});
      rib.close();
      if (ddhost::OutputFile* picture = outputs->picture()) {
        const std::string png = ddhost::drawViewerPng(
            *nodes, options.viewerSize, [](const std::string& line) { report("ddhost: viewer drawing: " + line); });
        picture->write(png.data(), png.size());
      }
      standardOutput = outputs->rib() == nullptr ? rib.standardOutputBytes() : std::string();
    } catch (const ddhost::SceneError& error) {
      report(options.script + ":" + std::to_string(error.line()) + ": " + error.what());
      return kFailure;
    }
  }
  // Every result is complete, and made from one version of the script.
  script->checkUnchanged();
  // The ops are gone and the plug-ins unloaded (where they let themselves
  // be) before anything is put in place: a crash in their teardown leaves
  // the old files.
  plugins.clear();
  outputs->commit(outputs->rib() == nullptr ? &standardOutput : nullptr, ddhost::RunOutputs::Afterwards::Exit);
  return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything can change the signal mask the caller left.
  ddhost::installInterruptCleanup();
  const ddhost::CommandLine commandLine = ddhost::parseCommandLine(argc, argv);
  if (!commandLine.options) {
    return commandLine.exitStatus;
  }
  try {
    return run(*commandLine.options);
  } catch (const std::exception& error) {
    report(std::string("ddhost: ") + error.what());
    return kFailure;
  }
}
