// Plug-ins that misbehave are named and refused, never the end of ddhost by
// a signal; and a plug-in file is one plug-in however many entries lead to
// it.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <standin/ddimage/Registry.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ddhost;
using testsupport::ProcessResult;

const std::string kLightScript = "LumoxIndirect {\n name Bounce1\n}\n";

// Absolute, so that under Wine the build's path gains its drive.
fs::path misbehavingPlugin(const std::string& stem) {
  return fs::absolute(fs::path(LUMOX_MISBEHAVING_PLUGIN_DIR) / standin::ddimage::pluginFileName(stem));
}

TEST(DdhostPlugins, MisbehavingOnesAreNamedAndRefused) {
  struct Case {
    const char* plugin;
    std::string script;
    // What follows the plug-in file's path in the one line of the message.
    std::string before;
    std::string after;
  };
  const std::string nameless = "Constant {\n name Plate1\n}\nNameless {\n name N1\n foo 1\n}\n";
  const Case cases[] = {
#if defined(_WIN32)
      // The loader catches the exception, leaving only its code: the C++
      // runtime's own, "msc" (0xE06D7363) for MSVC's, "GCC" for MinGW's.
      {"ThrowsWhenLoaded", kLightScript, "ddhost: cannot load plug-in ",
#if defined(_MSC_VER)
       ": its static initialisation threw an exception (code 3765269347)"},
#else
       ": its static initialisation threw an exception (code 541541187)"},
#endif
#else
      {"ThrowsWhenLoaded", kLightScript, "ddhost: cannot load plug-in ",
       ": its static initialisation threw: no licence for this host"},
#endif
      // A scene of the built-in class alone, which ran on the plug-in's.
      {"RegistersConstant", "Constant {\n name Plate1\n}\n", "ddhost: plug-in ",
       " registers the node class \"Constant\", which is built in"},
      {"RegistersOneClassTwice", kLightScript, "ddhost: plug-in ", " registers the node class \"Twice\" twice"},
      {"NamelessClass", nameless, "-:4: cannot create \"N1\": its class \"Nameless\" (plug-in ",
       ") names no class: Class() returns null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plugin);
    const testsupport::TemporaryDirectory dir;
    const fs::path folder = dir.path() / "plugins";
    fs::create_directory(folder);
    const fs::path plugin = folder / misbehavingPlugin(c.plugin).filename();
    fs::copy_file(misbehavingPlugin(c.plugin), plugin);
    fs::copy_file(testsupport::installedPlugin(), folder / testsupport::installedPlugin().filename());
    const fs::path rib = dir.path() / "a.rib";

    const ProcessResult run = ddhost({"-o", rib.string(), "--plugin-dir", folder.string(), "-"}, c.script);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(testsupport::lines(run.err), std::vector<std::string>{c.before + fs::absolute(plugin).string() + c.after});
    EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"plugins"});
  }
}

// Counted by the file, not by the folder's entries: a link beside the file
// it leads to, or a second hard link, adds no plug-in.
TEST(DdhostPlugins, AreCountedByFileNotByFolderEntry) {
  struct Case {
    const char* what;
    bool symbolic;
  };
  std::vector<Case> cases = {{"a hard link", false}};
#if !defined(_WIN32)
  cases.push_back({"a symbolic link", true});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const testsupport::TemporaryDirectory dir;
    const fs::path plugin = dir.path() / testsupport::installedPlugin().filename();
    fs::copy_file(testsupport::installedPlugin(), plugin);
    // Named to come first, so that the entry counted is not the first seen.
    const fs::path alias = dir.path() / standin::ddimage::pluginFileName("Alias");
    if (c.symbolic) {
      fs::create_symlink(plugin.filename(), alias);
    } else {
      fs::create_hard_link(plugin, alias);
    }

    const ProcessResult unknown = ddhost({"--plugin-dir", dir.path().string(), "-"}, "Unknown {\n}\n");
    EXPECT_EQ(unknown.exitStatus, 1);
    EXPECT_EQ(testsupport::lines(unknown.err),
              std::vector<std::string>{"-:1: unknown node class \"Unknown\" (1 plug-in loaded from " +
                                       dir.path().string() + ")"});
  }
}

}  // namespace
