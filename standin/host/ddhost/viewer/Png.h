// Writing a picture as a PNG file.
#pragma once

#include <ddhost/OutputFile.h>
#include "Viewer.h"

#include <string>

namespace ddhost {

// The picture as the bytes of a PNG file.
std::string encodePng(const Picture& picture);

// Writes `picture` into `file`; the caller commits it. Throws
// std::runtime_error.
void writePng(const Picture& picture, OutputFile& file);

}  // namespace ddhost
