// Writing a picture as a PNG file.
#pragma once

#include "Files.h"
#include "Viewer.h"

namespace ddhost {

// Writes `picture` into the file's temporary path; the caller commits it.
// Throws std::runtime_error.
void writePng(const Picture& picture, const ReplacementFile& file);

}  // namespace ddhost
