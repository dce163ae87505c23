// Reading the script and writing results so that a failed run leaves every
// output as it was.
#pragma once

#include <filesystem>
#include <string>

namespace ddhost {

// The whole script: the file at `path`, or standard input for "-".
// Throws std::runtime_error when it cannot be read.
std::string readScriptBytes(const std::string& path);

// Writes `bytes` to standard output unchanged (no newline translation).
// Throws std::runtime_error when they cannot all be written.
void writeStandardOutput(const std::string& bytes);

// A file that appears under its name only once it is complete: it is
// written beside the target under a temporary name, then renamed over it.
class ReplacementFile {
public:
  // Throws std::runtime_error when the target is a folder, which no file
  // can replace: found now, before anything is written.
  explicit ReplacementFile(const std::filesystem::path& target);
  // Removes the temporary file unless it was committed.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& temporaryPath() const { return temporary_; }
  // Throws std::runtime_error when the target cannot be replaced.
  void commit();

private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  bool committed_ = false;
};

}  // namespace ddhost
