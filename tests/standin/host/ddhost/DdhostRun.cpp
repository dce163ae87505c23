#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <standin/ddimage/Registry.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

fs::path installedPrefix() {
  return buildRoot() / "test-install";
}

fs::path installedDdhost() {
#if defined(_WIN32)
  return installedPrefix() / "bin" / "ddhost.exe";
#else
  return installedPrefix() / "bin" / "ddhost";
#endif
}

fs::path installedPlugin() {
  return installedPrefix() / "plugins" / standin::ddimage::pluginFileName("LumoxIndirect");
}

// Absolute, so that under Wine the sources' path gains its drive.
fs::path examplesDir() {
  return fs::absolute(fs::path(LUMOX_TEST_SOURCE_DIR).parent_path() / "examples");
}

std::string exampleScript(const std::string& name) {
  return (examplesDir() / (name + ".ddscript")).string();
}

fs::path goldenDir() {
  return fs::absolute(fs::path(LUMOX_TEST_SOURCE_DIR) / "standin" / "host" / "ddhost" / "golden");
}

std::vector<std::string> listDir(const fs::path& dir) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    result.push_back(line);
    start = end + 1;
  }
  return result;
}

ProcessResult ddhost(const std::vector<std::string>& arguments, const std::string& input) {
  return runProcess(installedDdhost(), arguments, input);
}

namespace {

// Without the installed tree every case would fail on its own, some only
// after waiting on a FIFO no ddhost ever opens: the program stops first,
// naming what makes the tree.
class InstalledTreeCheck : public ::testing::Environment {
public:
  void SetUp() override {
    if (!fs::exists(installedDdhost())) {
      FAIL() << missingTreeMessage();
    }
  }
};

// gtest owns the environments it is given.
::testing::Environment* const installedTreeCheck = ::testing::AddGlobalTestEnvironment(new InstalledTreeCheck);

}  // namespace

std::string missingTreeMessage() {
  return "the installed tree " + installedPrefix().string() +
         " is missing: the ctest fixture installed_tree makes it (the tests install_tree and install_tree_install); "
         "run the program through ctest (ctest --preset linux -R ddhost_tests, or the windows preset), or run those two tests first";
}

#if !defined(_WIN32)
ProcessResult shell(const std::string& command, const char* program) {
  return runProcess(program, {"-c", command});
}

std::string shellWord(const fs::path& path) {
  return "'" + path.string() + "'";
}
#endif

}  // namespace testsupport
