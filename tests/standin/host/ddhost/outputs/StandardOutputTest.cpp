// Standard output is held to the same promise as a file: all of the RIB or,
// with exit 1 and a message, none of it.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#if !defined(_WIN32)
#  include <csignal>
#  include <fcntl.h>
#  include <sys/wait.h>
#  include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;
using ::testing::HasSubstr;

#if !defined(_WIN32)

// Many lights, so that the RIB spans several of the blocks standard output
// is held in, and costs memory of its own.
std::string manyLights(int count) {
  std::string script;
  for (int i = 0; i < count; ++i) {
    script += "push 0\nLumoxIndirect {\n}\n";
  }
  return script;
}

testsupport::ProcessResult underCap(long kibibytes, const std::string& arguments) {
  return testsupport::shell("ulimit -v " + std::to_string(kibibytes) + " && exec " +
                            testsupport::shellWord(testsupport::installedDdhost()) + " " + arguments);
}

// From the least memory in which the RIB fits into a file up to where it
// fits in memory too: at every cap, repeated, the run either writes the
// whole RIB to standard output or nothing, with exit 1 and a message that
// says memory ran out for standard output.
TEST(DdhostStandardOutput, OutOfMemoryIsTheWholeRibOrNothing) {
#  if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitised ddhost reserves its shadow memory beyond any such cap";
#  endif
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "lights.ddscript";
  writeFile(script, manyLights(10000));
  const fs::path file = dir.path() / "scene.rib";
  const std::string toFile = "-o " + testsupport::shellWord(file) + " " + testsupport::shellWord(script);
  const testsupport::ProcessResult whole = testsupport::ddhost({script.string()});
  ASSERT_EQ(whole.exitStatus, 0) << whole.err;
  ASSERT_GT(whole.out.size(), 2u << 20);

  constexpr long kStep = 1024;
  long floor = 4 * kStep;
  while (underCap(floor, toFile).exitStatus != 0) {
    floor += kStep;
    ASSERT_LT(floor, 1024 * kStep) << "no cap under 1 GiB lets the RIB into a file";
  }
  ASSERT_EQ(readFile(file), whole.out);

  int refused = 0;
  for (long cap = floor; cap <= floor + 4 * kStep; cap += kStep / 2) {
    for (int repeat = 0; repeat < 2; ++repeat) {
      SCOPED_TRACE("ulimit -v " + std::to_string(cap));
      const testsupport::ProcessResult run = underCap(cap, testsupport::shellWord(script));
      if (run.exitStatus == 0) {
        EXPECT_EQ(run.out.size(), whole.out.size());
        EXPECT_TRUE(run.out == whole.out);
        continue;
      }
      ++refused;
      EXPECT_EQ(run.exitStatus, 1);
      EXPECT_EQ(run.out, "");
      EXPECT_THAT(run.err, HasSubstr("ddhost: cannot write standard output: memory ran out")) << run.err;
    }
  }
  // Otherwise the sweep never came near what standard output costs.
  EXPECT_GT(refused, 0);
}

// Standard output a pipe whose reader has gone: the run ends by SIGPIPE,
// or, where the caller ignores it, with exit 1 and the reason.
TEST(DdhostStandardOutput, AReaderThatHasGoneEndsTheRun) {
  const testsupport::TemporaryDirectory dir;
  const fs::path errors = dir.path() / "errors.txt";
  for (const bool ignored : {false, true}) {
    SCOPED_TRACE(ignored ? "SIGPIPE ignored" : "SIGPIPE as by default");
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    close(pipeEnds[0]);
    const std::string program = testsupport::installedDdhost().string();
    const std::string script = testsupport::exampleScript("bounce-light");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::signal(SIGPIPE, ignored ? SIG_IGN : SIG_DFL);
      const int errorFile = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(pipeEnds[1], 1);
      dup2(errorFile, 2);
      // No run may outlast the test's patience.
      alarm(300);
      execl(program.c_str(), program.c_str(), script.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeEnds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (ignored) {
      ASSERT_TRUE(WIFEXITED(status)) << status;
      EXPECT_EQ(WEXITSTATUS(status), 1);
      EXPECT_EQ(readFile(errors), "ddhost: cannot write standard output: Broken pipe\n");
    } else {
      ASSERT_TRUE(WIFSIGNALED(status)) << status;
      EXPECT_EQ(WTERMSIG(status), SIGPIPE);
    }
  }
}

#endif

}  // namespace
