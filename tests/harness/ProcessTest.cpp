// The child-process helper ends what would never end: the program, and
// whatever it started that holds its output, are killed and the caller is
// told.
#include <harness/Process.h>
#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <poll.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;

// Run only as a child of the cases below, which name it.
TEST(ProcessHelper, DISABLED_NeverEnds) {
  for (;;) {
    std::this_thread::sleep_for(1h);
  }
}

std::string overrunMessage(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                           std::chrono::milliseconds limit) {
  try {
    testsupport::runProcess(program, arguments, {}, limit);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "it ended in time";
}

TEST(ProcessHelper, KillsAProgramThatOverrunsItsTimeLimitAndSaysSo) {
  const std::string message = overrunMessage(
      testsupport::executableFile(),
      {"--gtest_also_run_disabled_tests", "--gtest_filter=ProcessHelper.DISABLED_NeverEnds"}, 2s);
  EXPECT_THAT(message, HasSubstr(" did not end within 2000 ms"));
}

TEST(ProcessHelper, AProgramThatEndsInTimeIsNotTouched) {
  const testsupport::ProcessResult run = testsupport::runProcess(
      testsupport::executableFile(), {"--gtest_filter=ProcessHelper.AProgramThatEndsInTimeIsNot*", "--gtest_list_tests"},
      {}, 60s);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_THAT(run.out, HasSubstr("AProgramThatEndsInTimeIsNotTouched"));
}

#if !defined(_WIN32)
// The program ends at once, but what it left running holds its output (as
// a writer left blocked on a FIFO does): that is killed too, not waited for.
TEST(ProcessHelper, KillsWhatTheProgramLeftHoldingItsOutput) {
  const testsupport::TemporaryDirectory dir;
  const std::string fifo = (dir.path() / "held").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Open without a writer yet; the left process holds the other end, so
  // the FIFO hangs up only once that process is gone.
  const int watch = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(watch, 0);

  const std::string message =
      overrunMessage("/bin/sh", {"-c", "sleep 3600 3>'" + fifo + "' & exit 0"}, 3s);
  EXPECT_THAT(message, HasSubstr(" did not end within 3000 ms; it was killed with its process group"));
  pollfd hangUp{watch, POLLIN, 0};
  // Bounded, so that a fault fails rather than hangs.
  EXPECT_EQ(poll(&hangUp, 1, 60'000), 1);
  EXPECT_NE(hangUp.revents & POLLHUP, 0);
  close(watch);
}
#endif

}  // namespace
