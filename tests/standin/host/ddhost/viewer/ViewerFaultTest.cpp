// Whatever the OpenGL implementation does while the viewer is drawn (a
// fault, an abort, an exit, running out of memory or descriptors, printing),
// the run ends with a message and exit 1, nothing written, and every line on
// standard error one line.
#include "DdhostRun.h"
#include "PngPicture.h"
#include "support/GlAvailability.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#if !defined(_WIN32)

namespace {

namespace fs = std::filesystem;
using testsupport::exampleScript;
using testsupport::installedDdhost;
using testsupport::ProcessResult;
using testsupport::shellWord;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// Every line ddhost wrote is one of its own, with nothing a terminal acts on.
void expectOnlyEscapedLines(const std::string& err) {
  EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
  EXPECT_EQ(err.find('\r'), std::string::npos) << err;
  for (const std::string& line : testsupport::lines(err)) {
    EXPECT_THAT(line, StartsWith("ddhost: "));
  }
}

// One run with the viewer, into -o or to standard output, from a shell that
// sets what the case needs first (limits, the environment).
struct ViewerRun {
  testsupport::TemporaryDirectory dir;
  fs::path rib = dir.path() / "scene.rib";
  fs::path picture = dir.path() / "viewer.png";

  ProcessResult run(const std::string& before, const std::string& size, bool toStandardOutput) const {
    const std::string command = before + " exec " + shellWord(installedDdhost()) +
                                (toStandardOutput ? std::string() : " -o " + shellWord(rib)) + " --viewer " +
                                shellWord(picture) + " --viewer-size " + size + " " +
                                shellWord(exampleScript("bounce-light"));
    return testsupport::shell(command);
  }
};

// The stand-in EGL library, first in the search.
std::string withFaultyEgl(const std::string& call, const std::string& by, const std::string& says) {
  std::string words = "LD_LIBRARY_PATH=" + shellWord(DDHOST_FAULTY_EGL_DIR) + " LUMOX_TEST_EGL_FAULT=" + call +
                      " LUMOX_TEST_EGL_FAULT_BY=" + by;
  if (!says.empty()) {
    words += " LUMOX_TEST_EGL_SAYS='" + says + "'";
  }
  return words;
}

struct DriverFault {
  const char* name;
  const char* call;
  const char* by;
  const char* says;      // what the driver prints first
  const char* message;   // ddhost's last line
  std::vector<const char*> printed;  // its lines before, as written
};

void PrintTo(const DriverFault& fault, std::ostream* out) {
  *out << fault.name;
}

class DdhostViewerDriverFault : public ::testing::TestWithParam<DriverFault> {};

TEST_P(DdhostViewerDriverFault, EndsOnlyTheDrawing) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  const DriverFault& c = GetParam();
  for (const bool toStandardOutput : {false, true}) {
    SCOPED_TRACE(toStandardOutput ? "standard output" : "-o");
    const ViewerRun place;
    const ProcessResult run = place.run(withFaultyEgl(c.call, c.by, c.says), "32x16", toStandardOutput);
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(fs::is_empty(place.dir.path())) << ::testing::PrintToString(testsupport::listDir(place.dir.path()));
    const std::vector<std::string> lines = testsupport::lines(run.err);
    ASSERT_EQ(lines.size(), c.printed.size() + 1) << run.err;
    for (std::size_t k = 0; k < c.printed.size(); ++k) {
      EXPECT_EQ(lines[k], c.printed[k]);
    }
    EXPECT_EQ(lines.back(), std::string("ddhost: ") + c.message);
    expectOnlyEscapedLines(run.err);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, DdhostViewerDriverFault,
    ::testing::Values(
        DriverFault{"FaultWhileLoading", "eglInitialize", "segv", "",
                    "the viewer picture's drawing ended by SIGSEGV (Segmentation fault)", {}},
        DriverFault{"AbortWithItsOwnWords", "eglMakeCurrent", "abort",
                    "double free\x1b[2J or corruption\n\tlast words",
                    "the viewer picture's drawing ended by SIGABRT (Aborted), after printing \"\\tlast words\"",
                    {"ddhost: viewer drawing: double free\\x1B[2J or corruption", "ddhost: viewer drawing: \\tlast words"}},
        DriverFault{"ExitWhileCreatingTheContext", "eglCreateContext", "exit", "giving up\n",
                    "the viewer picture's drawing ended with exit status 3 before its picture was complete, after "
                    "printing \"giving up\"",
                    {"ddhost: viewer drawing: giving up"}}),
    [](const ::testing::TestParamInfo<DriverFault>& param) { return std::string(param.param.name); });

// A driver's line however long comes as lines of at most 1024 bytes, and
// the message quotes only the start of the last.
TEST(DdhostViewerDriverFault, LongLinesAreCut) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  const ViewerRun place;
  const ProcessResult run =
      place.run(withFaultyEgl("eglInitialize", "abort", std::string(1500, 'x') + "\n"), "32x16", true);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  const std::vector<std::string> lines = testsupport::lines(run.err);
  ASSERT_EQ(lines.size(), 3u) << run.err;
  EXPECT_EQ(lines[0], "ddhost: viewer drawing: " + std::string(1024, 'x'));
  EXPECT_EQ(lines[1], "ddhost: viewer drawing: " + std::string(1500 - 1024, 'x'));
  EXPECT_THAT(lines[2], StartsWith("ddhost: the viewer picture's drawing ended by SIGABRT (Aborted), after printing \"xxx"));
  EXPECT_LT(lines[2].size(), 300u);
}

// A caller that ignores SIGCHLD (which a program inherits) still has the
// child's end heard, not lost with an unseen reaping.
TEST(DdhostViewerDriverFault, IsHeardWhenTheCallerIgnoresChildSignals) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  const ViewerRun place;
  const ProcessResult run = place.run("trap '' CHLD && " + withFaultyEgl("eglMakeCurrent", "segv", ""), "32x16", false);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, "ddhost: the viewer picture's drawing ended by SIGSEGV (Segmentation fault)\n");
  EXPECT_TRUE(fs::is_empty(place.dir.path()));
}

// The context is never torn down: the picture is whole by then, and a
// driver that faults in its teardown cannot fail it.
TEST(DdhostViewerDriverFault, AFaultInTheTeardownLeavesTheRunWhole) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  for (const char* call : {"eglDestroyContext", "eglDestroySurface"}) {
    SCOPED_TRACE(call);
    const ViewerRun place;
    const ProcessResult run = place.run(withFaultyEgl(call, "segv", ""), "32x16", false);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const testsupport::PngPicture picture = testsupport::decodePng(place.picture);
    EXPECT_EQ(picture.width, 32);
    EXPECT_EQ(picture.height, 16);
  }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

// Under an address-space limit the driver fails anywhere, in any form (a
// fault, an abort, an error code); each form, at every limit and every
// time, is the one message. Where the picture fits it is drawn. The limits
// reach from where the driver cannot even load to where everything fits.
TEST(DdhostViewerMemory, EveryLimitDrawsThePictureOrSaysItDoesNotFit) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  constexpr int kRepeats = 2;
  int drawn = 0;
  int refused = 0;
  for (const char* size : {"64x64", "1024x1024"}) {
    for (int limit = 150000; limit <= 400000; limit += 25000) {
      for (int repeat = 0; repeat < kRepeats; ++repeat) {
        SCOPED_TRACE(std::string(size) + " under ulimit -v " + std::to_string(limit));
        const ViewerRun place;
        const ProcessResult run = place.run("ulimit -v " + std::to_string(limit) + " &&", size, false);
        if (run.exitStatus == 0) {
          ++drawn;
          EXPECT_EQ(run.err, "");
          EXPECT_FALSE(testsupport::decodePng(place.picture).rgb.empty());
          continue;
        }
        ++refused;
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_THAT(testsupport::lines(run.err).back(),
                    AllOf(HasSubstr("not enough memory for a " + std::string(size) + " viewer picture"),
                          Not(HasSubstr("drawing ended"))))
            << run.err;
        expectOnlyEscapedLines(run.err);
        EXPECT_TRUE(fs::is_empty(place.dir.path()));
      }
    }
  }
  // The sweep reached both sides.
  EXPECT_GT(drawn, 0);
  EXPECT_GT(refused, 0);
}

#endif

// Out of descriptors the driver finds no driver at all; the message says
// what ran out. The script comes from standard input and the RIB goes to
// standard output, so that the limit bites at the drawing.
TEST(DdhostViewerFiles, FewDescriptorsSayNoMoreFilesCouldBeOpened) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitiser's runtime fails on its own under so few descriptors";
#endif
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  int refused = 0;
  for (int limit = 4; limit <= 10; ++limit) {
    SCOPED_TRACE("ulimit -n " + std::to_string(limit));
    const testsupport::TemporaryDirectory dir;
    const fs::path picture = dir.path() / "viewer.png";
    // Only 0, 1 and 2 open, whatever the test runner leaves open, and the
    // script opened before the limit: a shell moves descriptors about for a
    // redirection, which the limit would refuse.
    const ProcessResult run = testsupport::shell(
        "for fd in $(ls /proc/$$/fd); do if [ \"$fd\" -gt 2 ]; then eval \"exec $fd>&-\"; fi; done; exec < " +
            shellWord(exampleScript("bounce-light")) + " && ulimit -n " + std::to_string(limit) + " && exec " +
            shellWord(installedDdhost()) + " --viewer " + shellWord(picture) + " --viewer-size 32x16 -",
        "/bin/bash");
    if (run.exitStatus == 0) {
      EXPECT_THAT(run.out, HasSubstr("WorldEnd"));
      EXPECT_TRUE(fs::exists(picture));
      continue;
    }
    ++refused;
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    // The lowest limits stop ddhost at an output's folder, before the drawing.
    EXPECT_THAT(testsupport::lines(run.err).back(), HasSubstr("no more files could be opened")) << run.err;
    expectOnlyEscapedLines(run.err);
    EXPECT_TRUE(fs::is_empty(dir.path()));
  }
  EXPECT_GT(refused, 0);
}

}  // namespace

#endif
