// Writing to standard output.
#pragma once

#include <string>

namespace ddhost {

// Writes `bytes` to standard output unchanged (no newline translation).
// Throws std::runtime_error when they cannot all be written.
void writeStandardOutput(const std::string& bytes);

}  // namespace ddhost
