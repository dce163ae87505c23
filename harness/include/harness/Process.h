// Runs a program to completion with the given standard input, capturing its
// standard output, standard error and exit status.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
  int exitStatus = -1;  // -1 when the program ended by a signal
  std::string out;
  std::string err;
};

// Long enough for any run of a test, under Wine and under valgrind too;
// it only ends what would otherwise never end.
inline constexpr std::chrono::seconds kProcessTimeLimit{300};

// The program runs in a process group of its own (a job on Windows). Throws
// std::runtime_error when it cannot be started, or when it, or anything it
// started that still holds its output, has not ended within `timeLimit`:
// then every process of the group is killed first.
ProcessResult runProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::string& input = {}, std::chrono::milliseconds timeLimit = kProcessTimeLimit);

}  // namespace testsupport
