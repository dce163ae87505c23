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
#include <ddhost/StandardDescriptors.h>
#include <ddhost/StandardOutput.h>

#include <standin/ddimage/Graph.h>
#include <standin/lumox/Transcript.h>

#include <DDImage/Op.h>

#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Exit statuses; parseCommandLine gives 2 for what it finds wrong itself.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kWrongCommandLine = 2;

void report(const std::string& message) {
  std::cerr << ddhost::printable(message) << "\n";
}

// Numbers for a message said without allocating.
class Digits {
public:
  explicit Digits(std::size_t value) : end_(std::to_chars(text_, text_ + sizeof text_, value).ptr) {}
  std::string_view view() const { return {text_, static_cast<std::size_t>(end_ - text_)}; }

private:
  char text_[24];
  char* end_;
};

// A message put together without allocating, for when memory has run out:
// building it the usual way could fail in turn, and leave only the
// allocator's name.
void reportWithoutAllocating(std::initializer_list<std::string_view> parts) noexcept {
  for (const std::string_view part : parts) {
    std::fwrite(part.data(), 1, part.size(), stderr);
  }
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// The scene, built as the script is read. Syntax errors are reported before
// any the scene has: after a scene error the rest is still read, for a
// syntax error further down.
std::optional<std::vector<ddhost::SceneNode>> buildScene(const ddhost::Options& options, ddhost::ScriptFile& script,
                                                         standin::ddimage::Graph& graph,
                                                         const std::string& whereClassesComeFrom,
                                                         ddhost::ViewerDrawing* viewer) {
  // Made before any memory can run out, for the message that says so.
  const std::string scriptName = ddhost::printable(options.script);
  ddhost::ScriptStream stream([&script](char* into, std::size_t size) { return script.read(into, size); });
  ddhost::SceneBuilder builder(graph, whereClassesComeFrom);
  std::optional<ddhost::SceneError> sceneError;
  std::size_t nodesMade = 0;
  try {
    while (stream.next()) {
      if (sceneError) {
        continue;
      }
      try {
        if (const ddhost::NodeBlock* node = stream.node()) {
          builder.add(*node);
          ++nodesMade;
          if (viewer != nullptr) {
            viewer->add(*node);
          }
        } else {
          builder.add(*stream.push());
          if (viewer != nullptr) {
            viewer->add(*stream.push());
          }
        }
      } catch (const ddhost::SceneError& error) {
        sceneError = error;
      } catch (const std::bad_alloc&) {
        // The rest of the script is not read: there is no room to.
        reportWithoutAllocating({scriptName, ":", Digits(stream.statementLine()).view(),
                                 ": out of memory building the scene at this line (", Digits(nodesMade).view(),
                                 " nodes made before it)"});
        return std::nullopt;
      }
    }
  } catch (const ddhost::ScriptError& error) {
    // An error in a mix of two versions is no error of either.
    script.checkUnchanged();
    report(options.script + ":" + std::to_string(error.line) + ": " + error.message);
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    reportWithoutAllocating({scriptName, ":", Digits(stream.statementLine()).view(), ": out of memory holding ",
                             Digits(stream.heldBytes()).view(), " bytes of the script from this line"});
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
    outputs->refuseInputs(ddhost::loadedLibraries());
    ddhost::HeldOutput held;
    if (ddhost::OutputFile* file = outputs->rib()) {
      file->write(description.data(), description.size());
    } else {
      held.sputn(description.data(), static_cast<std::streamsize>(description.size()));
    }
    outputs->commit(outputs->rib() == nullptr ? &held : nullptr, ddhost::RunOutputs::Afterwards::Exit);
    return kSuccess;
  }

  // Held whole until every output is complete: nothing reaches standard
  // output from a run that fails.
  ddhost::HeldOutput standardOutput;
  {
    // Where the picture is drawn in a second process, that process builds
    // the scene alongside this one.
    std::optional<ddhost::ViewerDrawing> viewer;
    if (outputs->picture() != nullptr) {
      viewer.emplace(folder, options.viewerSize,
                     [](const std::string& line) { report("ddhost: viewer drawing: " + line); });
    }
    standin::ddimage::Graph graph;
    // The record of host calls is for tests; a host run only renders.
    graph.setRecordCalls(false);
    const std::optional<std::vector<ddhost::SceneNode>> nodes =
        buildScene(options, *script, graph, whereClassesComeFrom, viewer ? &*viewer : nullptr);
    if (!nodes) {
      return kFailure;
    }
    try {
      ddhost::validateScene(*nodes);
      try {
        ddhost::RibSession rib(outputs->rib(), standardOutput);
        ddhost::emitScene(*nodes, ddhost::BridgeSettings{options.sampleScale, options.asShader, options.exporter});
        rib.close();
      } catch (const std::bad_alloc&) {
        const ddhost::OutputFile* file = outputs->rib();
        report("ddhost: cannot write " + (file != nullptr ? file->target().string() : std::string("standard output")) +
               ": memory ran out while the RIB was made" +
               (file != nullptr ? std::string() : " (" + std::to_string(standardOutput.size()) + " bytes held)") +
               "; nothing was written to it");
        return kFailure;
      }
      if (ddhost::OutputFile* picture = outputs->picture()) {
        const std::string png = viewer->draw(*nodes);
        picture->write(png.data(), png.size());
      }
    } catch (const ddhost::SceneError& error) {
      report(options.script + ":" + std::to_string(error.line()) + ": " + error.what());
      return kFailure;
    }
  }
  // Every result is complete, and made from one version of the script.
  script->checkUnchanged();
  // Taken while the plug-ins, and what they loaded, are still loaded.
  const std::vector<ddhost::RunInput> loaded = ddhost::loadedLibraries();
  // The ops are gone and the plug-ins unloaded (where they let themselves
  // be) before anything is put in place: a crash in their teardown leaves
  // the old files.
  plugins.clear();
  outputs->refuseInputs(loaded);
  outputs->commit(outputs->rib() == nullptr ? &standardOutput : nullptr, ddhost::RunOutputs::Afterwards::Exit);
  return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status = ddhost::runViewerChildIfAsked(argc, argv)) {
    return *status;
  }
  // Before anything opens a file, which would take a closed one's number.
  ddhost::takeStandardDescriptors();
  // Before anything can change the signal mask the caller left.
  ddhost::installInterruptCleanup();
  const ddhost::CommandLine commandLine = ddhost::parseCommandLine(argc, argv);
  if (!commandLine.options) {
    return commandLine.exitStatus;
  }
  try {
    return run(*commandLine.options);
  } catch (const std::bad_alloc&) {
    reportWithoutAllocating({"ddhost: out of memory"});
    return kFailure;
  } catch (const std::exception& error) {
    report(std::string("ddhost: ") + error.what());
    return kFailure;
  }
}
