// Writing a picture as a PNG file.
#pragma once

#include "Viewer.h"

#include <string>

namespace ddhost {

// The picture as the bytes of a PNG file.
std::string encodePng(const Picture& picture);

}  // namespace ddhost
