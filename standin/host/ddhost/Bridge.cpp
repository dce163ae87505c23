#include "Bridge.h"

#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Node.h>
#include <standin/lumox/RibOutput.h>

#include <lumoxindirect/InputExporter.h>
#include <lumoxindirect/LumoxIndirectBase.h>
#include <lumoxindirect/RenderOptions.h>

#include <DDImage/Iop.h>

#include <new>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace ddhost {

namespace {

using DD::Image::Op;

// Says in the RIB which images it made available to the renderer, or
// turned down, so a reader of the RIB can tell the two apart.
class CommentingExporter final : public lumoxindirect::InputExporter {
public:
  explicit CommentingExporter(bool accept) : accept_(accept) {}

  void beginLight(const Op* /*light*/) override {}
  void endLight(const Op* /*light*/) override {}

  bool exportInput(DD::Image::Iop* image, bool /*asTexture*/, bool /*premultiplied*/) override {
    if (image == nullptr) {
      return false;
    }
    // One stream for every light: making one costs more than the line.
    name_.str(std::string());
    name_.clear();
    image->print_name(name_);
    line_ = accept_ ? "# exported image " : "# declined image ";
    line_ += standin::lumox::ribString(name_.str());
    standin::lumox::writeLine(line_);
    return accept_;
  }

private:
  bool accept_;
  std::ostringstream name_;
  std::string line_;
};

// A bridge links the light to objects by these names; the RIB says which
// ones it was given, ahead of the light's block.
void writeCategories(lumoxindirect::LumoxIndirectBase& light) {
  const std::set<std::string>* categories = light.categories();
  if (categories == nullptr || categories->empty()) {
    return;
  }
  std::string line = "# categories";
  for (const std::string& category : *categories) {
    line += ' ';
    line += standin::lumox::ribString(category);
  }
  standin::lumox::writeLine(line);
}

}  // namespace

RibSession::RibSession(OutputFile* file, HeldOutput& standardOutput)
    : file_(file), held_(standardOutput), heldStream_(&standardOutput) {
  standin::lumox::openOutput(file_ != nullptr ? file_->stream() : heldStream_);
  open_ = true;
}

RibSession::~RibSession() {
  if (open_) {
    try {
      standin::lumox::closeOutput();
    } catch (...) {
      // Discarded with the output anyway.
    }
  }
}

void RibSession::close() {
  open_ = false;
  standin::lumox::closeOutput();
  if (standin::lumox::sceneRefused()) {
    // A library that was never initialised is a broken install: say where
    // the plug-in looked for it.
    const std::string path = standin::lumox::givenLibraryPath();
    throw std::runtime_error(
        "the renderer library was not initialised and refused the scene; " +
        (path.empty() ? std::string("no plug-in told it where it is installed")
                      : "the plug-in expected it at " + path));
  }
  if (file_ != nullptr) {
    file_->finish();
  } else {
    held_.check();
  }
}

void emitScene(const std::vector<SceneNode>& nodes, const BridgeSettings& settings) {
  lumoxindirect::RenderOptions options;
  options.sampleScale = settings.sampleScale;
  std::optional<CommentingExporter> exporter;
  if (settings.exporter != ExporterChoice::None) {
    exporter.emplace(settings.exporter == ExporterChoice::Accept);
  }
  lumoxindirect::InputExporter* hooks = exporter ? &*exporter : nullptr;

  standin::lumox::writeLine("WorldBegin");
  for (const SceneNode& node : nodes) {
    auto* light = dynamic_cast<lumoxindirect::LumoxIndirectBase*>(node.op);
    if (light == nullptr) {
      continue;
    }
    const std::string& name = standin::ddimage::nodeOf(node.op).name;
    bool emitted = false;
    try {
      writeCategories(*light);
      if (hooks != nullptr) {
        hooks->beginLight(light);
      }
      emitted = light->emitLight(options, hooks, settings.asShader);
      if (hooks != nullptr) {
        hooks->endLight(light);
      }
    } catch (const std::bad_alloc&) {
      // Not the light's fault: the run's, and said as such.
      throw;
    } catch (const std::exception& error) {
      throw SceneError(node.line, name + ": the light could not be emitted: " + error.what());
    }
    if (!emitted) {
      throw SceneError(node.line, name + ": the light could not be emitted");
    }
  }
  standin::lumox::writeLine("WorldEnd");
}

}  // namespace ddhost
