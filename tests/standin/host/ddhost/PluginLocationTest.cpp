// ddhost finds the plug-in at run time, and the plug-in finds the renderer
// library from where the host loaded it.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <standin/ddimage/Registry.h>

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

// Copied away from the tree, the plug-in still loads, but it points the
// renderer at a library that is not there: a broken install, which fails
// naming that path and writes nothing.
TEST(DdhostPlugins, APluginOutsideAnInstalledTreeFailsNamingTheLibraryItExpected) {
  const testsupport::TemporaryDirectory dir;
  const fs::path folder = dir.path() / "x";
  fs::create_directory(folder);
  fs::copy_file(testsupport::installedPlugin(), folder / testsupport::installedPlugin().filename());
  const fs::path output = dir.path() / "out.rib";

  for (const std::vector<std::string>& target : {std::vector<std::string>{}, {"-o", output.string()}}) {
    std::vector<std::string> arguments = target;
    arguments.insert(arguments.end(), {"--plugin-dir", folder.string(), "-"});
    const ProcessResult run = ddhost(arguments, kLightScript);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    const std::string expectedLibrary = fs::absolute(dir.path()).generic_string() + "/bin/Lumox.dll";
    EXPECT_THAT(run.err, HasSubstr(kUninitialised + " (library path \"" + expectedLibrary + "\")"));
    EXPECT_THAT(run.err, HasSubstr("ddhost: the renderer library was not initialised and refused the scene; "
                                   "the plug-in expected it at " + expectedLibrary));
  }
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"x"});
}

TEST(DdhostPlugins, TwoFilesRegisteringOneClassAreRefused) {
  const testsupport::TemporaryDirectory dir;
  const fs::path first = dir.path() / standin::ddimage::pluginFileName("A");
  const fs::path second = dir.path() / standin::ddimage::pluginFileName("B");
  fs::copy_file(testsupport::installedPlugin(), first);
  fs::copy_file(testsupport::installedPlugin(), second);

  const ProcessResult run = ddhost({"--plugin-dir", dir.path().string(), "-"}, kLightScript);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, HasSubstr(first.filename().string()));
  EXPECT_THAT(run.err, HasSubstr(second.filename().string()));
  EXPECT_THAT(run.err, HasSubstr("both register the node class \"LumoxIndirect\""));
}

TEST(DdhostPlugins, WithoutThePluginItsClassIsUnknown) {
  const testsupport::TemporaryDirectory dir;
  const ProcessResult run = ddhost({"--plugin-dir", dir.path().string(), "-"}, "Constant {\n}\n" + kLightScript);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(testsupport::lines(run.err), std::vector<std::string>{"-:3: unknown node class \"LumoxIndirect\""});
}

}  // namespace
