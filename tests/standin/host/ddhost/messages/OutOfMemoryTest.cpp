// Running out of memory is told like any other failure: where in the
// script, and what was being held, rather than only the allocator's name.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using ::testing::MatchesRegex;

#if !defined(_WIN32)
// One statement that never ends, fed until ddhost cannot hold more of it
// under a cap on its address space (the producer stops at 2 GiB whatever
// happens, so that a fault fails rather than runs on; it is told of the
// closed pipe on its own standard error, which is not ddhost's).
TEST(DdhostMessages, AStatementTooLargeForTheMemoryCapNamesTheLineAndWhatWasHeld) {
#  if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitised ddhost reserves its shadow memory beyond any such cap";
#  endif
  const std::string command =
      "ulimit -v 400000 && { printf 'Constant {\\n}\\nLumoxIndirect {\\n name \"'; "
      "head -c 2147483648 /dev/zero | tr '\\000' a; } 2>/dev/null | exec '" +
      testsupport::installedDdhost().string() + "' -";
  const testsupport::ProcessResult run = testsupport::runProcess("/bin/sh", {"-c", command});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  const std::vector<std::string> lines = testsupport::lines(run.err);
  ASSERT_EQ(lines.size(), 1u) << run.err;
  EXPECT_THAT(lines[0], MatchesRegex("-:3: out of memory holding [0-9]+ bytes of the script from this line"));
}

// Nodes without end, each small, until the scene no longer fits: at every
// cap, and again at each, the message names the line and says that memory
// ran out, rather than the allocator's name or the node that happened to
// be made last. The producer stops at 2 million nodes, far beyond any cap.
TEST(DdhostMessages, AScriptOfMoreNodesThanFitNamesTheLineWhereMemoryRanOut) {
#  if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitised ddhost reserves its shadow memory beyond any such cap";
#  endif
  const testsupport::TemporaryDirectory dir;
  const std::filesystem::path rib = dir.path() / "scene.rib";
  for (const int cap : {70000, 110000, 150000}) {
    for (int repeat = 0; repeat < 2; ++repeat) {
      SCOPED_TRACE("ulimit -v " + std::to_string(cap));
      const std::string command =
          "ulimit -v " + std::to_string(cap) +
          " && awk 'BEGIN { for (i = 1; i <= 2000000; ++i) printf \"LumoxIndirect {\\n inputs 0\\n name L%d\\n}\\n\", i }' "
          "2>/dev/null | exec " + testsupport::shellWord(testsupport::installedDdhost()) + " -o " +
          testsupport::shellWord(rib) + " -";
      const testsupport::ProcessResult run = testsupport::runProcess("/bin/sh", {"-c", command});
      EXPECT_EQ(run.exitStatus, 1);
      EXPECT_EQ(run.out, "");
      const std::vector<std::string> lines = testsupport::lines(run.err);
      ASSERT_EQ(lines.size(), 1u) << run.err;
      EXPECT_THAT(lines[0], MatchesRegex("-:[0-9]+: out of memory building the scene at this line "
                                         "\\([0-9]+ nodes made before it\\)"));
      EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{});
    }
  }
}
#endif

}  // namespace
