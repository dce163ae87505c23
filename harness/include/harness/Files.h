// Whole files as bytes, for tests and benchmarks.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// Throw std::runtime_error when the file cannot be read or written.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace testsupport
