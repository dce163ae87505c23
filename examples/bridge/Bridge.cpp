#include "Bridge.h"

#include <lumoxindirect/InputExporter.h>
#include <lumoxindirect/LumoxIndirectBase.h>
#include <lumoxindirect/RenderOptions.h>

#include <DDImage/Iop.h>
#include <DDImage/Op.h>

#include <set>
#include <sstream>
#include <stdexcept>

namespace bridge {

namespace {

std::string nameOf(const DD::Image::Op& op) {
  std::ostringstream name;
  op.print_name(name);
  return name.str();
}

// Accepts every input image, noting its name for the light being emitted.
class ImageExporter final : public lumoxindirect::InputExporter {
public:
  void beginLight(const DD::Image::Op* /*light*/) override { images_.clear(); }
  void endLight(const DD::Image::Op* /*light*/) override {}
  bool exportInput(DD::Image::Iop* image, bool /*asTexture*/, bool /*premultiplied*/) override {
    if (image == nullptr) {
      return false;
    }
    images_.push_back(nameOf(*image));
    return true;
  }

  const std::vector<std::string>& images() const { return images_; }

private:
  std::vector<std::string> images_;
};

}  // namespace

std::vector<EmittedLight> emitLights(const std::vector<DD::Image::Op*>& ops, const Settings& settings) {
  lumoxindirect::RenderOptions options;
  options.sampleScale = settings.sampleScale;
  ImageExporter exporter;

  std::vector<EmittedLight> emitted;
  for (DD::Image::Op* op : ops) {
    // The node's run-time type names are visible to the bridge.
    auto* light = dynamic_cast<lumoxindirect::LumoxIndirectBase*>(op);
    if (light == nullptr) {
      continue;
    }
    EmittedLight record;
    record.name = nameOf(*light);
    if (const std::set<std::string>* categories = light->categories()) {
      record.categories.assign(categories->begin(), categories->end());
    }
    exporter.beginLight(light);
    const bool ok = light->emitLight(options, &exporter, settings.asShader);
    exporter.endLight(light);
    if (!ok) {
      throw std::runtime_error(record.name + ": the light could not be emitted");
    }
    record.images = exporter.images();
    emitted.push_back(std::move(record));
  }
  return emitted;
}

}  // namespace bridge
