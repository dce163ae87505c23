// Control descriptions kept once per class, and what the host asks of them.
#include "ClassEntry.h"

#include <standin/ddimage/ClassControls.h>

#include <DDImage/Knobs.h>

namespace standin {
namespace ddimage {

Classes& classes() {
  static Classes instance;
  return instance;
}

namespace {

ControlDescription makeHostIntensity() {
  ControlDescription description;
  description.type = DD::Image::FLOAT_KNOB;
  description.storage = DD::Image::FloatPtr;
  description.kind = ControlKind::Float;
  description.name = "intensity";
  description.label = "intensity";
  return description;
}

}  // namespace

const ControlDescription& hostIntensityControl() {
  static const ControlDescription description = makeHostIntensity();
  return description;
}

std::vector<const ControlDescription*> classControls(const std::string& className) {
  Classes& all = classes();
  const std::lock_guard<std::mutex> lock(all.mutex);
  const auto it = all.byName.find(className);
  return it != all.byName.end() ? it->second.layout : Layout{};
}


}  // namespace ddimage
}  // namespace standin
