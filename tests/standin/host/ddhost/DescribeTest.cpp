// `ddhost --describe`: a node class's panel from the controls it declares.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ddhost;
using testsupport::ProcessResult;
using testsupport::readFile;
using testsupport::writeFile;
using ::testing::HasSubstr;

// Byte for byte on every platform: the output is not newline-translated.
TEST(DdhostDescribe, PrintsTheLightsPanelAsGolden) {
  const ProcessResult run = ddhost({"--describe", "LumoxIndirect"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, testsupport::readFile(testsupport::goldenDir() / "describe-LumoxIndirect.txt"));
}

TEST(DdhostDescribe, UnknownClassFailsNamingTheKnownOnes) {
  for (const char* name : {"Bounce", "lumoxindirect", ""}) {
    SCOPED_TRACE(name);
    const ProcessResult run = ddhost({"--describe", name});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(testsupport::lines(run.err),
              std::vector<std::string>{std::string("ddhost: unknown node class \"") + name +
                                       "\"; known classes: Card, Constant, LumoxIndirect (1 plug-in loaded from " +
                                       testsupport::installedPlugin().parent_path().string() + ")"});
  }
}

// With -o, the description goes into that file, as safely as a RIB would:
// a new file, a file replaced, the same bytes as on standard output.
TEST(DdhostDescribe, WritesIntoTheOutputWhenOneIsGiven) {
  const std::string golden = readFile(testsupport::goldenDir() / "describe-LumoxIndirect.txt");
  const testsupport::TemporaryDirectory dir;
  const fs::path panel = dir.path() / "panel.txt";
  for (const char* before : {"", "previous panel\n"}) {
    SCOPED_TRACE(before);
    if (*before != '\0') {
      writeFile(panel, before);
    }
    const ProcessResult run = ddhost({"--describe", "LumoxIndirect", "-o", panel.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(panel), golden);
    EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"panel.txt"});
  }
}

// What the RIB's outputs refuse, a description's refuses, and an unknown
// class leaves the file as it was.
TEST(DdhostDescribe, TheOutputIsCheckedAndKeptAsARibsWouldBe) {
  const testsupport::TemporaryDirectory dir;
  const fs::path panel = dir.path() / "panel.txt";
  writeFile(panel, "previous panel\n");
  struct Case {
    std::vector<std::string> arguments;
    int exitStatus;
    std::string says;
  };
  const Case cases[] = {
      {{"--describe", "Bounce", "-o", panel.string()}, 1, "unknown node class \"Bounce\""},
      {{"--describe", "LumoxIndirect", "-o", panel.string(), "--viewer", (dir.path() / "v.png").string()}, 2,
       "excludes"},
      {{"--describe", "LumoxIndirect", "-o", testsupport::installedPlugin().string()}, 2, "names the plug-in file"},
      {{"--describe", "LumoxIndirect", "-o", (dir.path() / "missing" / "panel.txt").string()}, 1, "does not exist"},
      {{"--describe", "LumoxIndirect", "-o", dir.path().string()}, 1, "it is a folder"},
  };
  const std::string plugin = readFile(testsupport::installedPlugin());
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const ProcessResult run = ddhost(c.arguments);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr(c.says));
    EXPECT_EQ(readFile(panel), "previous panel\n");
    EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"panel.txt"});
    EXPECT_EQ(readFile(testsupport::installedPlugin()), plugin);
  }
}

}  // namespace
