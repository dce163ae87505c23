// `ddhost --describe`: a node class's panel from the controls it declares.
#include "DdhostRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testsupport::ddhost;
using testsupport::ProcessResult;

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

}  // namespace
