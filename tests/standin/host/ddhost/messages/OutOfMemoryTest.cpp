// Running out of memory is told like any other failure: where in the
// script, and what was being held, rather than only the allocator's name.
#include "DdhostRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
#endif

}  // namespace
