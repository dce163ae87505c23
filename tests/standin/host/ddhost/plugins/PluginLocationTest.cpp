// ddhost finds the plug-in at run time, and the plug-in finds the renderer
// library from where the host loaded it.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <standin/ddimage/Registry.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

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

#if !defined(_WIN32)
// Off Windows a backslash is an ordinary character of a folder's name: the
// plug-in finds the renderer library of the tree it is installed in.
TEST(DdhostPlugins, AnInstallTreeUnderAFolderWithABackslashInItsNameWorks) {
  const testsupport::TemporaryDirectory dir;
  const fs::path root = dir.path() / "in\\stall";
  fs::create_directory(root);
  for (const char* folder : {"bin", "plugins"}) {
    fs::copy(testsupport::installedPrefix() / folder, root / folder, fs::copy_options::recursive);
  }
  const fs::path rib = dir.path() / "bounce.rib";
  const ProcessResult run =
      testsupport::runProcess(root / "bin" / "ddhost", {"-o", rib.string(), testsupport::exampleScript("bounce-light")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(testsupport::readFile(rib), testsupport::readFile(testsupport::goldenDir() / "bounce-light.rib"));
}
#endif

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

// An unknown class says where plug-ins were looked for: the folder given,
// or plugins/ beside the program's folder when it is missing or no folder.
TEST(DdhostPlugins, AnUnknownClassNamesThePluginFolderSearched) {
  const testsupport::TemporaryDirectory dir;
  const std::string script = "Constant {\n}\n" + kLightScript;
  const ProcessResult empty = ddhost({"--plugin-dir", dir.path().string(), "-"}, script);
  EXPECT_EQ(empty.exitStatus, 1);
  EXPECT_EQ(empty.out, "");
  EXPECT_EQ(testsupport::lines(empty.err),
            std::vector<std::string>{"-:3: unknown node class \"LumoxIndirect\" (0 plug-ins loaded from " +
                                     dir.path().string() + ")"});

  // A program of its own beside which the plug-in folder is missing, then
  // a file.
  const fs::path root = dir.path() / "tree";
  fs::create_directory(root);
  fs::copy(testsupport::installedDdhost().parent_path(), root / "bin", fs::copy_options::recursive);
  const fs::path program = root / "bin" / testsupport::installedDdhost().filename();
  const fs::path plugins = fs::weakly_canonical(root) / "plugins";
  struct Case {
    const char* what;
    bool file;
    std::string says;
  };
  const Case cases[] = {
      {"missing", false, "(the plug-in folder " + plugins.string() + " does not exist)"},
      {"a file", true, "(the plug-in folder " + plugins.string() + " is not a folder)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.file) {
      testsupport::writeFile(root / "plugins", "not a folder\n");
    }
    const ProcessResult run = testsupport::runProcess(program, {"-"}, script);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(testsupport::lines(run.err),
              std::vector<std::string>{"-:3: unknown node class \"LumoxIndirect\" " + c.says});
  }
}

// A copy cut short, as one still being made is: refused before the loader
// maps what is not there (which would end ddhost with SIGBUS), leaving
// nothing behind.
TEST(DdhostPlugins, AnIncompletePluginFileIsRefusedBeforeLoading) {
  const std::string whole = testsupport::readFile(testsupport::installedPlugin());
  const testsupport::TemporaryDirectory dir;
  const fs::path folder = dir.path() / "plugins";
  fs::create_directory(folder);
  const fs::path plugin = folder / testsupport::installedPlugin().filename();
  const fs::path rib = dir.path() / "a.rib";
  const fs::path png = dir.path() / "a.png";
  std::vector<std::size_t> lengths = {40, 1000, 20000, 40000, whole.size() / 2};
#if !defined(_WIN32)
  // The section headers, at the very end of an ELF file (a PE file ends in
  // its symbols, which the loader does not map).
  lengths.push_back(whole.size() - 1);
#endif
  for (const std::size_t length : lengths) {
    SCOPED_TRACE(length);
    testsupport::writeFile(plugin, whole.substr(0, length));
    const ProcessResult run = ddhost({"-o", rib.string(), "--viewer", png.string(), "--plugin-dir", folder.string(),
                                      testsupport::exampleScript("bounce-light")});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_THAT(run.err, HasSubstr("cannot load plug-in " + fs::absolute(plugin).string() +
                                   ": the file is incomplete (" + std::to_string(length) + " bytes, its headers need "));
    EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"plugins"});
  }
}

}  // namespace
