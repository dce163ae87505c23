// Writing a picture as a PNG file.
#pragma once

#include "OutputFile.h"
#include "Viewer.h"

namespace ddhost {

// Writes `picture` into `file`; the caller commits it. Throws
// std::runtime_error.
void writePng(const Picture& picture, OutputFile& file);

}  // namespace ddhost
