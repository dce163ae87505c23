// ddhost finds the plug-in at run time, and the plug-in finds the renderer
// library from where the host loaded it.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <standin/ddimage/Registry.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
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
// What the renderer library says is one line, escaped as ddhost's own are,
// whatever folder the plug-in was copied to (a Windows name holds no
// control character).
TEST(DdhostPlugins, TheRendererLibrarysWarningIsOneEscapedLine) {
  const testsupport::TemporaryDirectory dir;
  const fs::path tree = dir.path() / "a\nb\x1b[31mc\"d";
  const fs::path folder = tree / "x";
  fs::create_directories(folder);
  fs::copy_file(testsupport::installedPlugin(), folder / testsupport::installedPlugin().filename());

  const ProcessResult run = ddhost({"--plugin-dir", folder.string(), "-"}, kLightScript);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  const std::string root = fs::absolute(dir.path()).generic_string();
  EXPECT_EQ(testsupport::lines(run.err),
            (std::vector<std::string>{
                kUninitialised + " (library path \"" + root + "/a\\nb\\x1B[31mc\\\"d/bin/Lumox.dll\")",
                "ddhost: the renderer library was not initialised and refused the scene; the plug-in expected it at " +
                    root + "/a\\nb\\x1B[31mc\"d/bin/Lumox.dll"}));
}

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

// Little-endian fields of a module file.
std::uint64_t field(const std::string& bytes, std::size_t at, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t k = size; k-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes.at(at + k));
  }
  return value;
}

// Where the part of the plug-in file that the loader maps ends, by the
// file's own headers (an ELF file's loaded segments, a PE file's
// sections): a build of another type lays the file out otherwise.
std::uint64_t mappedEnd(const std::string& file) {
  std::uint64_t end = 0;
#if defined(_WIN32)
  const std::size_t pe = field(file, 0x3C, 4);
  const std::size_t table = pe + 24 + field(file, pe + 20, 2);
  for (std::size_t k = 0; k < field(file, pe + 6, 2); ++k) {
    const std::size_t section = table + 40 * k;
    end = std::max(end, field(file, section + 20, 4) + field(file, section + 16, 4));
  }
#else
  const std::size_t table = field(file, 0x20, 8);
  for (std::size_t k = 0; k < field(file, 0x38, 2); ++k) {
    const std::size_t segment = table + field(file, 0x36, 2) * k;
    if (field(file, segment, 4) == 1) {  // PT_LOAD
      end = std::max(end, field(file, segment + 8, 8) + field(file, segment + 0x20, 8));
    }
  }
#endif
  return end;
}

// A copy cut short, as one still being made is: refused before the loader
// maps what is not there (which would end ddhost with SIGBUS), leaving
// nothing behind. Where to cut comes from the file's headers, so that it
// holds in every build type.
TEST(DdhostPlugins, AnIncompletePluginFileIsRefusedBeforeLoading) {
  const std::string whole = testsupport::readFile(testsupport::installedPlugin());
  const std::uint64_t mapped = mappedEnd(whole);
  ASSERT_GT(mapped, 4000u);
  ASSERT_LE(mapped, whole.size());
  const testsupport::TemporaryDirectory dir;
  const fs::path folder = dir.path() / "plugins";
  fs::create_directory(folder);
  const fs::path plugin = folder / testsupport::installedPlugin().filename();
  const fs::path rib = dir.path() / "a.rib";
  const fs::path png = dir.path() / "a.png";
  // Empty, as a copy is when it starts, and cut inside the magic number.
  std::vector<std::uint64_t> lengths = {0, 1, 3, 40, mapped / 4, mapped / 2, mapped - 1};
#if !defined(_WIN32)
  // The section headers, which an ELF file keeps past what is mapped (a PE
  // file keeps its symbols there, which nothing needs to load it).
  lengths.push_back(field(whole, 0x28, 8) + field(whole, 0x3A, 2) * field(whole, 0x3C, 2) - 1);
#endif
  for (const std::uint64_t length : lengths) {
    SCOPED_TRACE(length);
    testsupport::writeFile(plugin, whole.substr(0, static_cast<std::size_t>(length)));
    const ProcessResult run = ddhost({"-o", rib.string(), "--viewer", png.string(), "--plugin-dir", folder.string(),
                                      testsupport::exampleScript("bounce-light")});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_THAT(run.err, HasSubstr("cannot load plug-in " + fs::absolute(plugin).string() +
                                   ": the file is incomplete (" + std::to_string(length) + " bytes, its headers need "));
    EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"plugins"});
  }
}

}  // namespace
