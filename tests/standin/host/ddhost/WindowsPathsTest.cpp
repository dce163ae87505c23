// On Windows ddhost takes no "/option" forms: an argument that starts with
// "/" is a path from the root of the current drive. Every option that takes
// a path, and the script, written each way a Windows user writes a path.
// (Wine resolves a drive-root path written with slashes from the Unix root,
// its Z: drive, so the files here live on that drive, where both agree.)
#include "DdhostRun.h"
#include "viewer/PngPicture.h"
#include "support/GlAvailability.h"

#include <harness/TestPaths.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ddhost;
using testsupport::ProcessResult;
using testsupport::readFile;

// Drive-root forms only mean something on the drive of the current folder.
class CurrentDirectory {
public:
  explicit CurrentDirectory(const fs::path& to) : saved_(fs::current_path()) { fs::current_path(to); }
  ~CurrentDirectory() { fs::current_path(saved_); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
  fs::path saved_;
};

// A folder of the test's own, removed with the object.
class OwnFolder {
public:
  explicit OwnFolder(fs::path path) : path_(std::move(path)) { fs::create_directories(path_); }
  ~OwnFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  OwnFolder(const OwnFolder&) = delete;
  OwnFolder& operator=(const OwnFolder&) = delete;
  const fs::path& path() const { return path_; }

private:
  fs::path path_;
};

std::string withSlashes(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

struct PathForm {
  const char* name;
  std::function<std::string(const fs::path&)> write;
};

const PathForm kForms[] = {
    {"drive letter, backslashes", [](const fs::path& p) { return p.string(); }},
    {"drive letter, slashes", [](const fs::path& p) { return withSlashes(p.string()); }},
    {"drive root, backslashes", [](const fs::path& p) { return (p.root_directory() / p.relative_path()).string(); }},
    {"drive root, slashes",
     [](const fs::path& p) { return withSlashes((p.root_directory() / p.relative_path()).string()); }},
};

TEST(DdhostWindowsPaths, EveryPathOptionTakesEveryForm) {
  // Like the other viewer cases: skipped without a context, unless the
  // test command, which provides one, requires it.
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  // On the drive of the installed tree, so the plug-in folder has a
  // drive-root form too.
  const testsupport::TemporaryDirectory scratch;  // only for a unique name
  const OwnFolder folder(fs::absolute(testsupport::installedPrefix()).parent_path() /
                         ("windows-paths-" + scratch.path().filename().string()));
  const fs::path& dir = folder.path();
  const CurrentDirectory inside(dir);
  fs::copy_file(testsupport::examplesDir() / "bounce-light.ddscript", dir / "scene.ddscript");
  const fs::path plugins = fs::absolute(testsupport::installedPrefix() / "plugins");
  ASSERT_EQ(plugins.root_name(), dir.root_name());
  const std::string golden = readFile(testsupport::goldenDir() / "bounce-light.rib");

  for (const PathForm& form : kForms) {
    SCOPED_TRACE(form.name);
    const std::vector<std::string> arguments = {
        "-o", form.write(dir / "scene.rib"), "--viewer", form.write(dir / "viewer.png"), "--viewer-size", "64x36",
        "--plugin-dir", form.write(plugins), form.write(dir / "scene.ddscript")};
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProcessResult run = ddhost(arguments);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(dir / "scene.rib"), golden);
    const testsupport::PngPicture picture = testsupport::decodePng(dir / "viewer.png");
    EXPECT_EQ(picture.width, 64);
    EXPECT_EQ(picture.height, 36);
    fs::remove(dir / "scene.rib");
    fs::remove(dir / "viewer.png");
  }
}

// What CLI11 would take for Windows-style options are paths to scripts.
TEST(DdhostWindowsPaths, SlashArgumentsAreScriptsNotOptions) {
  for (const std::string argument : {"/h", "/help", "/o"}) {
    SCOPED_TRACE(argument);
    const ProcessResult run = ddhost({argument});
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("cannot read " + argument), std::string::npos) << run.err;
  }
}

}  // namespace
