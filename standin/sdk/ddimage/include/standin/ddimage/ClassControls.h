// The controls of each node class, kept once per class.
#pragma once

#include <standin/ddimage/Controls.h>

#include <string>
#include <vector>

namespace standin {
namespace ddimage {

// What the class's ops declare, in order, as the first panel built for the
// class declared it; empty until a panel of the class has been built.
DDIMAGE_API std::vector<const ControlDescription*> classControls(const std::string& className);

// The `intensity` control the host gives light ops before their own.
DDIMAGE_API const ControlDescription& hostIntensityControl();

}  // namespace ddimage
}  // namespace standin
