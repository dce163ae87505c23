// Run without its installed tree, this program fails at once, saying which
// fixture makes the tree, rather than case by case or not at all.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

// A copy of this program, with the libraries beside it, in a build root
// that has no installed tree.
TEST(DdhostTestProgram, WithoutTheInstalledTreeFailsAtOnceNamingTheFixture) {
  const testsupport::TemporaryDirectory dir;
  const fs::path bin = dir.path() / "bin";
  fs::create_directory(bin);
  for (const fs::directory_entry& entry : fs::directory_iterator(testsupport::executableDir())) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && (extension == ".dll" || entry.path().filename().string().find(".so") != std::string::npos)) {
      fs::copy_file(entry.path(), bin / entry.path().filename());
    }
  }
  const fs::path copy = bin / testsupport::executableFile().filename();
  fs::copy_file(testsupport::executableFile(), copy);

  // Cases that would otherwise each fail, or wait, on their own.
  const testsupport::ProcessResult run =
      testsupport::runProcess(copy, {"--gtest_filter=DdhostExamples.*:DdhostScripts.*"}, {}, 120s);
  EXPECT_NE(run.exitStatus, 0);
  EXPECT_THAT(run.out, HasSubstr("the installed tree " + (dir.path() / "test-install").string() + " is missing"));
  EXPECT_THAT(run.out, HasSubstr("fixture installed_tree"));
  // None of the cases ran.
  EXPECT_THAT(run.out, HasSubstr("[  PASSED  ] 0 tests"));
}

}  // namespace
