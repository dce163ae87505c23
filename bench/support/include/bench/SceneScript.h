// The scene the ddhost benchmarks give it: one plate feeding every light.
#pragma once

#include <string>

namespace benchsupport {

// A script of `lights` indirect lights fed by one plate named Plate, with
// settings that vary from light to light, so each light also has an image
// to export.
std::string sceneScript(int lights);

}  // namespace benchsupport
