// A plug-in that cannot load on Windows because a DLL it needs, directly or
// through another DLL, is nowhere the DLL search looks: ddhost names that
// DLL, and the chain to it, with Windows' own reason.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;
using ::testing::HasSubstr;

std::string systemMessage(DWORD code) {
  char text[512] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

TEST(DdhostMissingImport, TheFirstImportTheSearchCannotFindIsNamedAtAnyDepth) {
  const fs::path imports = testsupport::buildRoot() / DDHOST_TEST_IMPORTS;
  const std::string notFound = systemMessage(ERROR_MOD_NOT_FOUND);
  ASSERT_FALSE(notFound.empty());
  const std::string search = "the DLL search (the program's folder, the system folders, PATH) does not find ";
  struct Case {
    const char* plugin;
    bool middleBesideTheProgram;
    std::string says;
  };
  const Case cases[] = {
      {"NeedsAbsentPlugin.dll", true, search + "NoSuchLibrary.dll, which the plug-in imports: " + notFound},
      {"NeedsMiddlePlugin.dll", true,
       search + "NoSuchLibrary.dll, which the plug-in imports through MiddleLibrary.dll: " + notFound},
      {"NeedsMiddlePlugin.dll", false, search + "MiddleLibrary.dll, which the plug-in imports: " + notFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.plugin) + (c.middleBesideTheProgram ? " with" : " without") + " MiddleLibrary.dll");
    const testsupport::TemporaryDirectory dir;
    fs::copy(testsupport::installedDdhost().parent_path(), dir.path() / "bin", fs::copy_options::recursive);
    if (c.middleBesideTheProgram) {
      fs::copy_file(imports / "MiddleLibrary.dll", dir.path() / "bin" / "MiddleLibrary.dll");
    }
    const fs::path plugins = dir.path() / "plugins";
    fs::create_directory(plugins);
    fs::copy_file(imports / c.plugin, plugins / c.plugin);

    const ProcessResult run = testsupport::runProcess(dir.path() / "bin" / testsupport::installedDdhost().filename(),
                                                      {"--plugin-dir", plugins.string(), "-"}, "");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(testsupport::lines(run.err),
              std::vector<std::string>{"ddhost: cannot load plug-in " +
                                           fs::absolute(plugins / c.plugin).lexically_normal().string() + ": " +
                                       c.says});
  }
}

}  // namespace
