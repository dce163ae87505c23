// Reading the script, and writing to standard output.
#pragma once

#include <string>

namespace ddhost {

// The whole script: the file at `path`, or standard input for "-".
// Throws std::runtime_error when it cannot be read.
std::string readScriptBytes(const std::string& path);

// Bytes [begin, end) of the script file at `path` into `bytes`, for reading
// a script again a piece at a time. Throws std::runtime_error.
void readScriptPiece(const std::string& path, std::size_t begin, std::size_t end, std::string& bytes);

// Writes `bytes` to standard output unchanged (no newline translation).
// Throws std::runtime_error when they cannot all be written.
void writeStandardOutput(const std::string& bytes);

}  // namespace ddhost
