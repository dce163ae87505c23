// Where the test programs find the built plug-in and libraries.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The running test program.
std::filesystem::path executableFile();
// The folder of the running test program (the build tree's bin/).
std::filesystem::path executableDir();
// The build tree laid out like an install: bin/ and plugins/ below it.
std::filesystem::path buildRoot();
// The built plug-in file.
std::filesystem::path pluginFile();

// A fresh, empty folder that is removed with the object.
class TemporaryDirectory {
public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

private:
  std::filesystem::path path_;
};

}  // namespace testsupport
