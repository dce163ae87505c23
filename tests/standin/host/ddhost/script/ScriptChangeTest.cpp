// A script file rewritten in place while ddhost reads it: the run ends
// with exit 1 and writes nothing, rather than a RIB of neither version.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#if !defined(_WIN32)
#  include <csignal>
#  include <fcntl.h>
#  include <sys/ptrace.h>
#  include <sys/stat.h>
#  include <sys/syscall.h>
#  include <sys/wait.h>
#  include <unistd.h>
#endif

namespace {

#if !defined(_WIN32)

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

// A MB, most of it comments, so that it is read in many pieces, with
// a light at the end whose sample count `edit` can change in place.
std::string largeScript() {
  std::string text = "Constant {\n name Plate\n}\n";
  const std::string comment = "# " + std::string(200, '-') + "\n";
  while (text.size() < (std::size_t{1} << 20)) {
    text += comment;
  }
  return text + "push $Plate\nLumoxIndirect {\n samples 4\n}\n";
}

void rewriteInPlace(const fs::path& script, const std::function<void(int)>& edit) {
  const int file = open(script.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(file, 0);
  edit(file);
  close(file);
}

// Whether descriptor `fd` of process `pid` is `file`.
bool isDescriptorOf(pid_t pid, std::uint64_t fd, const fs::path& file) {
  std::error_code error;
  const fs::path open = fs::read_symlink("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd), error);
  return !error && open == file;
}

// What came of a run held while the script changed.
struct HeldRun {
  bool traced = true;  // false: this system does not let a test trace
  int status = 0;      // the wait status
};

// Runs ddhost traced, holds it (stopped) right after its first read from
// `script` returned some of it, lets `change` rewrite the script, and lets
// ddhost go on: mid-read for certain, however fast the machine.
HeldRun runChangedWhileRead(const std::vector<std::string>& arguments, const fs::path& script, bool scriptAsInput,
                            const fs::path& out, const fs::path& err, const std::function<void()>& change) {
  std::vector<std::string> words = {testsupport::installedDdhost().string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  constexpr int kNotTraced = 126;
  const pid_t pid = fork();
  if (pid == 0) {
    const int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFile = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int inFile = open(scriptAsInput ? script.c_str() : "/dev/null", O_RDONLY);
    if (inFile < 0 || outFile < 0 || errFile < 0 || dup2(inFile, 0) < 0 || dup2(outFile, 1) < 0 ||
        dup2(errFile, 2) < 0) {
      _exit(127);
    }
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
      _exit(kNotTraced);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  HeldRun run;
  // Stopped at the start of the new program, or ended untraced.
  waitpid(pid, &run.status, 0);
  if (!WIFSTOPPED(run.status)) {
    run.traced = !(WIFEXITED(run.status) && WEXITSTATUS(run.status) == kNotTraced);
    return run;
  }
  ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  const fs::path opened = fs::canonical(script);
  std::uint64_t call = 0;
  std::uint64_t descriptor = 0;
  int signal = 0;
  for (bool held = false; !held;) {
    ptrace(PTRACE_SYSCALL, pid, nullptr, signal);
    signal = 0;
    waitpid(pid, &run.status, 0);
    if (!WIFSTOPPED(run.status)) {
      ADD_FAILURE() << "ddhost ended before it read the script";
      return run;
    }
    if (WSTOPSIG(run.status) != (SIGTRAP | 0x80)) {
      signal = WSTOPSIG(run.status);  // its own, passed on
      continue;
    }
    __ptrace_syscall_info info{};
    ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info);
    if (info.op == PTRACE_SYSCALL_INFO_ENTRY) {
      call = info.entry.nr;
      descriptor = info.entry.args[0];
    } else if (info.op == PTRACE_SYSCALL_INFO_EXIT && call == SYS_read && info.exit.rval > 0 &&
               isDescriptorOf(pid, descriptor, opened)) {
      held = true;
    }
  }
  change();
  ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
  waitpid(pid, &run.status, 0);
  return run;
}

// Longer, shorter and the same size; into -o and to standard output; named
// or as standard input. The script's times are set into the past first, so
// that a rewrite shows whatever the file system's clock tick.
TEST(DdhostScripts, AScriptRewrittenInPlaceWhileReadEndsTheRunWithNothingWritten) {
  const std::string text = largeScript();
  const std::string samples = "samples 4";
  enum Where { ScriptNamed, RibToStandardOutput, ScriptAsStandardInput };
  struct Case {
    const char* what;
    Where where;
    std::function<void(int)> edit;
  };
  const auto sameSize = [&](int file) {
    ASSERT_EQ(pwrite(file, "samples 5", samples.size(), static_cast<off_t>(text.rfind(samples))),
              static_cast<ssize_t>(samples.size()));
  };
  const auto append = [&](const std::string& more) {
    return [&text, more](int file) {
      ASSERT_EQ(pwrite(file, more.data(), more.size(), static_cast<off_t>(text.size())),
                static_cast<ssize_t>(more.size()));
    };
  };
  const Case cases[] = {
      {"a light added", ScriptNamed, append("LumoxIndirect {\n}\n")},
      // The change, not the error it made, is what the run reports.
      {"a syntax error added", ScriptNamed, append("}{\n")},
      {"cut short", ScriptNamed, [](int file) { ASSERT_EQ(ftruncate(file, 64), 0); }},
      {"the same size", ScriptNamed, sameSize},
      {"the same size, the RIB to standard output", RibToStandardOutput, sameSize},
      {"the same size, the script from standard input", ScriptAsStandardInput, sameSize},
      // Only the change time tells.
      {"the same size, its modification time put back", ScriptNamed,
       [&](int file) {
         struct stat before {};
         ASSERT_EQ(fstat(file, &before), 0);
         sameSize(file);
         const timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
         ASSERT_EQ(futimens(file, times), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const testsupport::TemporaryDirectory dir;
    const fs::path script = dir.path() / "scene.ddscript";
    const fs::path rib = dir.path() / "scene.rib";
    writeFile(script, text);
    fs::last_write_time(script, fs::last_write_time(script) - std::chrono::hours(24));
    writeFile(rib, "previous RIB\n");
    std::vector<std::string> arguments = {c.where == ScriptAsStandardInput ? "-" : script.string()};
    if (c.where != RibToStandardOutput) {
      arguments.insert(arguments.begin(), {"-o", rib.string()});
    }
    const HeldRun run =
        runChangedWhileRead(arguments, script, c.where == ScriptAsStandardInput, dir.path() / "out.txt",
                            dir.path() / "err.txt", [&] { rewriteInPlace(script, c.edit); });
    if (!run.traced) {
      GTEST_SKIP() << "this system does not let a test trace the program it runs";
    }
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << "wait status " << run.status;
    const std::string name = c.where == ScriptAsStandardInput ? "the script from standard input" : script.string();
    EXPECT_EQ(readFile(dir.path() / "err.txt"), "ddhost: " + name + " changed while it was read\n");
    EXPECT_EQ(readFile(dir.path() / "out.txt"), "");
    EXPECT_EQ(readFile(rib), "previous RIB\n");
    EXPECT_EQ(testsupport::listDir(dir.path()),
              (std::vector<std::string>{"err.txt", "out.txt", "scene.ddscript", "scene.rib"}));
  }
}

#endif

}  // namespace
