// Runs a program to completion with the given standard input, capturing its
// standard output, standard error and exit status.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
  int exitStatus = -1;  // -1 when the program ended by a signal
  std::string out;
  std::string err;
};

// Throws std::runtime_error when the program cannot be started.
ProcessResult runProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::string& input = {});

}  // namespace testsupport
