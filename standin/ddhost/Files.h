// Reading the script, and writing to standard output.
#pragma once

#include <string>

namespace ddhost {

// The whole script: the file at `path`, or standard input for "-".
// Throws std::runtime_error when it cannot be read.
std::string readScriptBytes(const std::string& path);

// Writes `bytes` to standard output unchanged (no newline translation).
// Throws std::runtime_error when they cannot all be written.
void writeStandardOutput(const std::string& bytes);

}  // namespace ddhost
