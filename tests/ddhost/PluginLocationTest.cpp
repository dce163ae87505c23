// ddhost finds the plug-in at run time, and the plug-in finds the renderer
// library from where the host loaded it.
#include "ddhost/DdhostRun.h"

#include "support/TestPaths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testsupport::ddhost;
using testsupport::ProcessResult;
using ::testing::HasSubstr;

const std::string kLightScript = "LumoxIndirect {\n name Bounce1\n}\n";
const std::string kUninitialised = "Lumox: scene description before the library was initialised";

TEST(DdhostPlugins, TheInstalledTreeInitialisesTheRenderer) {
  const ProcessResult run = ddhost({"-"}, kLightScript);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_THAT(run.out, HasSubstr("LightSource \"ovLumoxIndirect\" 1"));
  EXPECT_EQ(run.err.find(kUninitialised), std::string::npos) << run.err;
}

// Copied away from the tree, the plug-in still loads and declares its
// light, but it points the renderer at a library that is not there; the
// renderer names that path when the scene arrives uninitialised.
TEST(DdhostPlugins, APluginOutsideAnInstalledTreeLeavesTheRendererUninitialised) {
  const testsupport::TemporaryDirectory dir;
  const fs::path folder = dir.path() / "x";
  fs::create_directory(folder);
  fs::copy_file(testsupport::installedPlugin(), folder / testsupport::installedPlugin().filename());

  const ProcessResult run = ddhost({"--plugin-dir", folder.string(), "-"}, kLightScript);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_THAT(run.out, HasSubstr("LightSource \"ovLumoxIndirect\" 1"));
  const std::string expectedLibrary = fs::absolute(dir.path()).generic_string() + "/bin/Lumox.dll";
  EXPECT_THAT(run.err, HasSubstr(kUninitialised + " (library path \"" + expectedLibrary + "\")"));
}

TEST(DdhostPlugins, WithoutThePluginItsClassIsUnknown) {
  const testsupport::TemporaryDirectory dir;
  const ProcessResult run = ddhost({"--plugin-dir", dir.path().string(), "-"}, "Constant {\n}\n" + kLightScript);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(testsupport::lines(run.err), std::vector<std::string>{"-:3: unknown node class \"LumoxIndirect\""});
}

}  // namespace
