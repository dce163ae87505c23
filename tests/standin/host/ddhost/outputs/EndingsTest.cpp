// How a run ends when a plug-in ends it, when a signal comes after the
// outputs are in place, or when the caller blocked signals: the old files
// stay until the last rename, the new ones after it, and nothing of the
// writer's is left either way. The plug-in "Endings" supplies the moments:
// it exits, overflows its stack or crashes on cue, or stops the process so
// that the test can look at it.
#include "DdhostRun.h"

#include <harness/TestPaths.h>
#include "support/GlAvailability.h"

#include <ddhost/OutputPath.h>

#include <standin/ddimage/Registry.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#  include <csignal>
#  include <fcntl.h>
#  include <sys/resource.h>
#  include <sys/stat.h>
#  include <sys/wait.h>
#  include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

const std::string kLight = "LumoxIndirect {\n name Bounce1\n}\n";

// A copy of the installed tree with the endings plug-in among its plug-ins.
struct EndingsTree {
  explicit EndingsTree(const fs::path& dir) : tree(dir / "tree") {
    fs::copy(testsupport::installedPrefix(), tree, fs::copy_options::recursive);
    fs::copy_file(fs::absolute(DDHOST_ENDINGS_PLUGIN), tree / "plugins" / standin::ddimage::pluginFileName("Endings"));
  }
  fs::path ddhost() const { return tree / "bin" / testsupport::installedDdhost().filename(); }
  fs::path tree;
};

// Where the run writes, away from the tree and the script.
struct Place {
  testsupport::TemporaryDirectory dir;
  EndingsTree tree{dir.path()};
  fs::path out = dir.path() / "out";
  fs::path rib = out / "scene.rib";
  fs::path script = dir.path() / "scene.ddscript";

  explicit Place(const std::string& text) {
    fs::create_directory(out);
    writeFile(script, text);
  }
};

TEST(DdhostEndings, APluginCallingExitWhileDrawingLeavesNoTemporary) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  const Place run(kLight + "ExitWhileDrawing {\n}\n");
  writeFile(run.rib, "previous RIB\n");
  const testsupport::ProcessResult result =
      testsupport::runProcess(run.tree.ddhost(), {"-o", run.rib.string(), "--viewer", (run.out / "v.png").string(),
                                                  "--viewer-size", "32x16", run.script.string()});
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_EQ(readFile(run.rib), "previous RIB\n");
  EXPECT_EQ(testsupport::listDir(run.out), std::vector<std::string>{"scene.rib"});
}

#if !defined(_WIN32)

// The names in `dir` that the writer made.
std::vector<std::string> writersFiles(const fs::path& dir) {
  std::vector<std::string> found;
  for (const std::string& name : testsupport::listDir(dir)) {
    if (name.find(ddhost::kTemporaryMarker) != std::string::npos) {
      found.push_back(name);
    }
  }
  return found;
}

// A child started by fork and exec, so that it can be found stopped and can
// start with signals blocked and pending, as a parent may leave them.
class Child {
public:
  struct Start {
    std::vector<std::string> words;
    fs::path out = "/dev/null";
    mode_t umask = 022;
    std::vector<int> blockedAndPending;
  };

  explicit Child(const Start& start) {
    std::vector<std::string> words = start.words;
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const std::string out = start.out.string();
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : start.blockedAndPending) {
      sigaddset(&blocked, signal);
    }
    pid_ = fork();
    if (pid_ == 0) {
      // Only what is safe between fork and exec.
      for (int signal = 1; signal < NSIG; ++signal) {
        ::signal(signal, SIG_DFL);
      }
      sigprocmask(SIG_SETMASK, &blocked, nullptr);
      for (const int signal : start.blockedAndPending) {
        kill(getpid(), signal);
      }
      const int output = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int null = open("/dev/null", O_RDWR);
      if (output < 0 || null < 0 || dup2(output, 1) < 0 || dup2(null, 2) < 0 || dup2(null, 0) < 0) {
        _exit(127);
      }
      const rlimit noCore{0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      ::umask(start.umask);
      execv(argv[0], argv.data());
      _exit(127);
    }
    EXPECT_GT(pid_, 0);
    // However it goes, the child does not outlive its time limit.
    const pid_t pid = pid_;
    watchdog_ = std::thread([this, pid] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!done_.wait_for(lock, kTimeLimit, [this] { return finished_; })) {
        ADD_FAILURE() << "ddhost still running after " << kTimeLimit.count() << " s: killed";
        kill(pid, SIGKILL);
      }
    });
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      wait(0);
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    watchdog_.join();
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // The wait status at the next stop (WUNTRACED) or at the end.
  int wait(int options) {
    int status = 0;
    while (waitpid(pid_, &status, options) < 0 && errno == EINTR) {
    }
    if (!WIFSTOPPED(status)) {
      pid_ = -1;
    }
    return status;
  }
  int waitForStop() { return wait(WUNTRACED); }
  int waitForEnd() { return wait(0); }
  void signal(int signal) const { kill(pid_, signal); }

private:
  static constexpr std::chrono::seconds kTimeLimit{120};
  pid_t pid_ = -1;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread watchdog_;
};

std::string statusText(int status) {
  if (WIFEXITED(status)) {
    return "exit " + std::to_string(WEXITSTATUS(status));
  }
  if (WIFSIGNALED(status)) {
    return std::string("ended by ") + strsignal(WTERMSIG(status));
  }
  return WIFSTOPPED(status) ? std::string("stopped by ") + strsignal(WSTOPSIG(status)) : "status " + std::to_string(status);
}

std::string exitedWith(int code) {
  return "exit " + std::to_string(code);
}

std::string endedBy(int signal) {
  return std::string("ended by ") + strsignal(signal);
}

Child::Start startOf(std::vector<std::string> words) {
  Child::Start start;
  start.words = std::move(words);
  return start;
}

// The viewer is drawn in a child process: a plug-in overflowing its stack
// there ends only the child, and the run fails with nothing written.
TEST(DdhostEndings, APluginOverflowingItsStackWhileDrawingLeavesNoTemporary) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  const Place run(kLight + "OverflowWhileDrawing {\n}\n");
  writeFile(run.rib, "previous RIB\n");
  Child child(startOf({run.tree.ddhost().string(), "-o", run.rib.string(), "--viewer", (run.out / "v.png").string(),
                "--viewer-size", "32x16", run.script.string()}));
  EXPECT_EQ(statusText(child.waitForEnd()), exitedWith(1));
  EXPECT_EQ(readFile(run.rib), "previous RIB\n");
  EXPECT_EQ(testsupport::listDir(run.out), std::vector<std::string>{"scene.rib"});
}

// The nodes are torn down before anything is put in place.
TEST(DdhostEndings, ACrashTearingTheSceneDownLeavesTheOldFile) {
  const Place run(kLight + "CrashInTeardown {\n}\n");
  writeFile(run.rib, "previous RIB\n");
  Child child(startOf({run.tree.ddhost().string(), "-o", run.rib.string(), run.script.string()}));
  EXPECT_EQ(statusText(child.waitForEnd()), endedBy(SIGSEGV));
  EXPECT_EQ(readFile(run.rib), "previous RIB\n");
  EXPECT_EQ(testsupport::listDir(run.out), std::vector<std::string>{"scene.rib"});
}

// Standard error closed by the caller: the RIB's file must not take its
// number, or a library's log would end up in the RIB.
TEST(DdhostEndings, ALogToAClosedStandardErrorStaysOutOfTheRib) {
  const Place expected(kLight);
  Child reference(startOf({expected.tree.ddhost().string(), "-o", expected.rib.string(), expected.script.string()}));
  ASSERT_EQ(statusText(reference.waitForEnd()), exitedWith(0));
  const Place run(kLight + "LogInTeardown {\n}\n");
  // The script from standard input, so that it takes no number either.
  const testsupport::ProcessResult ran = testsupport::shell(
      "exec " + testsupport::shellWord(run.tree.ddhost()) + " -o " + testsupport::shellWord(run.rib) + " - < " +
      testsupport::shellWord(run.script) + " 2>&-");
  EXPECT_EQ(ran.exitStatus, 0);
  EXPECT_EQ(readFile(run.rib), readFile(expected.rib));
}

// Once the last output is in place the run has succeeded: a signal then
// (here while a plug-in's exit handler runs, the process stopped there)
// waits for the exit, which reports success.
TEST(DdhostEndings, ASignalAfterTheOutputsAreInPlaceIsHeldAndTheRunSucceeds) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) {
    SCOPED_TRACE(strsignal(signal));
    const Place run(kLight + "StopAtExit {\n}\n");
    writeFile(run.rib, "previous RIB\n");
    Child child(startOf({run.tree.ddhost().string(), "-o", run.rib.string(), run.script.string()}));
    ASSERT_EQ(statusText(child.waitForStop()), "stopped by " + std::string(strsignal(SIGSTOP)));
    const std::string written = readFile(run.rib);
    EXPECT_THAT(written, ::testing::HasSubstr("LightSource"));
    child.signal(signal);
    child.signal(SIGCONT);
    EXPECT_EQ(statusText(child.waitForEnd()), exitedWith(0));
    EXPECT_EQ(readFile(run.rib), written);
    EXPECT_EQ(testsupport::listDir(run.out), std::vector<std::string>{"scene.rib"});
  }
}

// A signal the caller blocked, even one already pending, is the caller's
// to deliver: the run neither waits for it nor fails because of it.
TEST(DdhostEndings, SignalsBlockedAtStartAreLeftAsTheCallerLeftThem) {
  const std::string golden = readFile(testsupport::goldenDir() / "bounce-light.rib");
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    for (const bool toFile : {true, false}) {
      SCOPED_TRACE(std::string(strsignal(signal)) + (toFile ? ", into a file" : ", to standard output"));
      const Place run(readFile(testsupport::exampleScript("bounce-light")));
      const fs::path printed = run.dir.path() / "printed";
      Child::Start start;
      start.words = {run.tree.ddhost().string()};
      if (toFile) {
        start.words.insert(start.words.end(), {"-o", run.rib.string()});
      }
      start.words.push_back(run.script.string());
      start.out = printed;
      start.blockedAndPending = {signal};
      Child child(start);
      EXPECT_EQ(statusText(child.waitForEnd()), exitedWith(0));
      EXPECT_EQ(readFile(toFile ? run.rib : printed), golden);
      EXPECT_EQ(testsupport::listDir(run.out), toFile ? std::vector<std::string>{"scene.rib"} : std::vector<std::string>{});
    }
  }
}

struct Ownership {
  unsigned mode;
  uid_t user;
};

Ownership ownershipOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return {static_cast<unsigned>(status.st_mode & 07777), status.st_uid};
}

struct RibTarget {
  const char* what;
  bool exists;
  unsigned mode;
  uid_t owner;
  Ownership final;
};

// Runs ddhost onto `c`'s target, stopped while the viewer is drawn: the
// waiting RIB is the user's alone; once in place it is as `c` says.
void expectTheRibIsTheUsersAloneUntilComplete(const RibTarget& c) {
  SCOPED_TRACE(c.what);
  const Place run(kLight + "StopWhileDrawing {\n}\n");
  if (c.exists) {
    writeFile(run.rib, "previous RIB\n");
    ASSERT_EQ(chmod(run.rib.c_str(), c.mode), 0);
    if (c.owner != geteuid()) {
      ASSERT_EQ(chown(run.rib.c_str(), c.owner, c.owner), 0);
    }
  }
  Child child(startOf({run.tree.ddhost().string(), "-o", run.rib.string(), "--viewer", (run.dir.path() / "v.png").string(),
                "--viewer-size", "32x16", run.script.string()}));
  ASSERT_EQ(statusText(child.waitForStop()), "stopped by " + std::string(strsignal(SIGSTOP)));
  const std::vector<std::string> temporaries = writersFiles(run.out);
  ASSERT_EQ(temporaries.size(), 1u);
  const Ownership during = ownershipOf(run.out / temporaries[0]);
  EXPECT_EQ(during.mode, 0600u);
  EXPECT_EQ(during.user, geteuid());
  child.signal(SIGCONT);
  EXPECT_EQ(statusText(child.waitForEnd()), exitedWith(0));
  const Ownership after = ownershipOf(run.rib);
  EXPECT_EQ(after.mode, c.final.mode);
  EXPECT_EQ(after.user, c.final.user);
  EXPECT_TRUE(writersFiles(run.out).empty());
}

// Under umask 022 the RIB, written and waiting while the viewer is drawn,
// is readable by the user alone and the user's own, whatever the file it
// will replace; it takes that file's owner and mode only once in place.
TEST(DdhostEndings, TheRibIsTheUsersAloneUntilItIsComplete) {
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  const RibTarget cases[] = {
      {"a new file", false, 0, 0, {0644, geteuid()}},
      {"a file of mode 0600", true, 0600, geteuid(), {0600, geteuid()}},
      {"a file of mode 0644", true, 0644, geteuid(), {0644, geteuid()}},
  };
  for (const RibTarget& c : cases) {
    expectTheRibIsTheUsersAloneUntilComplete(c);
  }
}

// The same for a file of another user, which stays theirs. Only root can
// give a file away, so only root can show it.
TEST(DdhostEndings, AnotherUsersRibIsTheUsersAloneUntilCompleteThenTheirs) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "only root can give a file to another user";
  }
  if (const auto reason = testsupport::glUnavailable()) {
    GTEST_SKIP() << *reason;
  }
  constexpr uid_t kOther = 65534;
  expectTheRibIsTheUsersAloneUntilComplete({"another user's file of mode 0640", true, 0640, kOther, {0640, kOther}});
}

#endif

}  // namespace
