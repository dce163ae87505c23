// What the installed ddhost does to the files it is pointed at: special
// files written in place, links kept, outputs put in place together or not
// at all, and nothing left behind by a failed or interrupted run.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <csignal>
#  include <fcntl.h>
#  include <poll.h>
#  include <spawn.h>
#  include <sys/inotify.h>
#  include <sys/stat.h>
#  include <sys/wait.h>
#  include <unistd.h>
extern char** environ;
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::ddhost;
using testsupport::exampleScript;
using testsupport::ProcessResult;
using testsupport::readFile;
using testsupport::writeFile;
using ::testing::HasSubstr;

std::string golden(const std::string& name) {
  return readFile(testsupport::goldenDir() / (name + ".rib"));
}

#if defined(_WIN32)

TEST(DdhostOutput, NulIsWrittenInPlace) {
  const ProcessResult run = ddhost({"-o", "NUL", exampleScript("bounce-light")});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST(DdhostOutput, AReadOnlyFileIsRefusedAndKept) {
  const testsupport::TemporaryDirectory dir;
  const fs::path locked = dir.path() / "locked.rib";
  writeFile(locked, "previous RIB\n");
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
  const ProcessResult run = ddhost({"-o", locked.string(), exampleScript("bounce-light")});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_THAT(run.err, HasSubstr("read-only"));
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(readFile(locked), "previous RIB\n");
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"locked.rib"});
}

#else

ProcessResult shell(const std::string& command) {
  return testsupport::runProcess("/bin/sh", {"-c", command});
}

std::string shellWord(const fs::path& path) {
  return "'" + path.string() + "'";
}

TEST(DdhostOutput, SpecialFilesAreWrittenInPlace) {
  const ProcessResult toNull = ddhost({"-o", "/dev/null", exampleScript("bounce-light")});
  EXPECT_EQ(toNull.exitStatus, 0) << toNull.err;
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  const ProcessResult toStdout = ddhost({"-o", "/dev/stdout", exampleScript("bounce-light")});
  EXPECT_EQ(toStdout.exitStatus, 0) << toStdout.err;
  EXPECT_EQ(toStdout.out, golden("bounce-light"));

  const testsupport::TemporaryDirectory dir;
  const fs::path fifo = dir.path() / "rib";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = readFile(fifo); });
  const ProcessResult toFifo = ddhost({"-o", fifo.string(), exampleScript("bounce-light")});
  reader.join();
  EXPECT_EQ(toFifo.exitStatus, 0) << toFifo.err;
  EXPECT_EQ(received, golden("bounce-light"));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"rib"});

  const ProcessResult toFull = ddhost({"-o", "/dev/full", exampleScript("bounce-light")});
  EXPECT_EQ(toFull.exitStatus, 1);
  EXPECT_THAT(toFull.err, HasSubstr("cannot write /dev/full: No space left on device"));
}

// The name the temporary file once had, `.NAME.tmp<PID>`, planted as a link
// to someone else's file by a process that then becomes ddhost.
TEST(DdhostOutput, ANamePlantedBesideTheTargetIsNotWrittenThrough) {
  const testsupport::TemporaryDirectory dir;
  writeFile(dir.path() / "victim.txt", "not yours\n");
  const ProcessResult run = shell("cd " + shellWord(dir.path()) + " && ln -s \"$PWD/victim.txt\" .out.rib.tmp$$ && exec " +
                                  shellWord(testsupport::installedDdhost()) + " -o out.rib " +
                                  shellWord(exampleScript("bounce-light")));
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(readFile(dir.path() / "victim.txt"), "not yours\n");
  EXPECT_EQ(readFile(dir.path() / "out.rib"), golden("bounce-light"));
}

TEST(DdhostOutput, ALinkStaysAndTheFileItNamesIsReplacedWithItsMode) {
  const testsupport::TemporaryDirectory dir;
  const fs::path file = dir.path() / "scene.rib";
  writeFile(file, "previous RIB\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("scene.rib", dir.path() / "link.rib");

  const ProcessResult run = ddhost({"-o", (dir.path() / "link.rib").string(), exampleScript("bounce-light")});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.rib"));
  EXPECT_EQ(readFile(file), golden("bounce-light"));
  EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"link.rib", "scene.rib"}));
}

// Starts ddhost on `script`, waits until it has written part of the RIB into
// its temporary file, and sends it `signal`. Returns the wait status.
int interruptWhileWriting(const fs::path& script, const fs::path& output, int signal) {
  const int watch = inotify_init1(IN_CLOEXEC);
  EXPECT_GE(watch, 0);
  inotify_add_watch(watch, output.parent_path().c_str(), IN_MODIFY);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  // Whatever the test runner ignores, ddhost gets the usual dispositions.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
    sigaddset(&defaults, s);
  }
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<std::string> words = {testsupport::installedDdhost().string(), "-o", output.string(), script.string()};
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  EXPECT_EQ(spawned, 0);

  // The latch: the kernel's report of a write into the temporary file.
  const std::string prefix = "." + output.filename().string() + ".ddhost-";
  int status = 0;
  bool writing = false;
  while (!writing) {
    pollfd ready{watch, POLLIN, 0};
    if (poll(&ready, 1, 1000) <= 0) {
      // Quiet for a while: ddhost may have ended without writing one.
      if (waitpid(pid, &status, WNOHANG) == pid) {
        ADD_FAILURE() << "ddhost ended without writing a temporary file";
        close(watch);
        return status;
      }
      continue;
    }
    alignas(inotify_event) char events[4096];
    const ssize_t n = read(watch, events, sizeof events);
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      writing = writing || (event->len > 0 && std::string(event->name).rfind(prefix, 0) == 0);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  kill(pid, signal);
  waitpid(pid, &status, 0);
  close(watch);
  return status;
}

TEST(DdhostOutput, AnInterruptedRunLeavesNoTemporaryAndTheOldFile) {
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "large.ddscript";
  std::string text;
  for (int k = 0; k < 20000; ++k) {
    text += "push 0\nLumoxIndirect {\n}\n";
  }
  writeFile(script, text);
  const fs::path output = dir.path() / "large.rib";
  writeFile(output, "previous RIB\n");

  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    const int status = interruptWhileWriting(script, output, signal);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "wait status " << status;
    EXPECT_EQ(readFile(output), "previous RIB\n");
    EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"large.ddscript", "large.rib"}));
  }
}

TEST(DdhostOutput, APictureIsKeptOnlyWhenStandardOutputTookTheRib) {
  const testsupport::TemporaryDirectory dir;
  const fs::path picture = dir.path() / "v.png";
  writeFile(picture, "previous picture\n");
  const ProcessResult run = shell("exec " + shellWord(testsupport::installedDdhost()) + " --viewer " + shellWord(picture) +
                                  " --viewer-size 32x16 " + shellWord(exampleScript("bounce-light")) + " > /dev/full");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_THAT(run.err, HasSubstr("standard output"));
  EXPECT_EQ(readFile(picture), "previous picture\n");
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"v.png"});
}

#endif

TEST(DdhostOutput, TwoOutputsNamingOneFileAreACommandLineError) {
  const testsupport::TemporaryDirectory dir;
  const fs::path same = dir.path() / "same";
  writeFile(same, "previous\n");
  std::vector<std::vector<std::string>> cases = {
      {"-o", same.string(), "--viewer", same.string()},
      {"-o", (dir.path() / "new").string(), "--viewer", (dir.path() / "." / "new").string()},
  };
  std::vector<std::string> names = {"same"};
#if defined(_WIN32)
  cases.push_back({"-o", same.string(), "--viewer", (dir.path() / "SAME").string()});
#else
  fs::create_symlink("same", dir.path() / "link");
  names.insert(names.begin(), "link");
  cases.push_back({"-o", (dir.path() / "link").string(), "--viewer", same.string()});
  cases.push_back({"--viewer", "/dev/stdout"});
#endif
  for (std::vector<std::string> arguments : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    arguments.push_back(exampleScript("bounce-light"));
    const ProcessResult run = ddhost(arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("name the same file"));
    EXPECT_EQ(readFile(same), "previous\n");
    EXPECT_EQ(testsupport::listDir(dir.path()), names);
  }
}

// The script is read whole first, so it may name itself as the output.
TEST(DdhostOutput, TheScriptItselfIsReplacedOnlyOnSuccess) {
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "scene.ddscript";
  writeFile(script, "LumoxIndirect {\n sample 4\n}\n");
  const ProcessResult failed = ddhost({"-o", script.string(), script.string()});
  EXPECT_EQ(failed.exitStatus, 1);
  EXPECT_EQ(readFile(script), "LumoxIndirect {\n sample 4\n}\n");

  writeFile(script, readFile(exampleScript("bounce-light")));
  const ProcessResult run = ddhost({"-o", script.string(), script.string()});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(readFile(script), golden("bounce-light"));
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"scene.ddscript"});
}

}  // namespace
