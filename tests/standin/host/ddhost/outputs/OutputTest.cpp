// What the installed ddhost does to the files it is pointed at: special
// files written in place, links kept, outputs put in place together or not
// at all, and nothing left behind by a failed or interrupted run.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <ddhost/OutputPath.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
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
#  include <cstring>
#  include <sys/inotify.h>
#  include <sys/resource.h>
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

// Names an observer could predict beside the target, among them the
// writer's own prefix, planted as links to someone else's file in a folder
// anyone may write: none is written through or replaced, and the output
// still goes where it should.
TEST(DdhostOutput, NamesPlantedBesideTheTargetAreNotWrittenThrough) {
  const testsupport::TemporaryDirectory dir;
  fs::permissions(dir.path(), fs::perms::all);
  writeFile(dir.path() / "victim.txt", "not yours\n");
  const std::string prefix = ".out.rib" + std::string(ddhost::kTemporaryMarker);
  std::vector<std::string> planted = {prefix, prefix + std::string(16, 'a'),
                                      ".out.rib" + std::string(ddhost::kBackupMarker) + std::string(16, '0')};
  for (const char c : std::string("0123456789abcdefghijklmnopqrstuvwxyz")) {
    planted.push_back(prefix + std::string(15, '0') + c);
  }
  // What ddhost's process id will be is known to whoever starts it.
  std::string links;
  for (const std::string& name : planted) {
    links += "ln -s \"$PWD/victim.txt\" '" + name + "' && ";
  }
  const ProcessResult run =
      shell("cd " + shellWord(dir.path()) + " && " + links + "ln -s \"$PWD/victim.txt\" " + prefix + "$$ && exec " +
            shellWord(testsupport::installedDdhost()) + " -o out.rib " + shellWord(exampleScript("bounce-light")));
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(readFile(dir.path() / "victim.txt"), "not yours\n");
  EXPECT_EQ(readFile(dir.path() / "out.rib"), golden("bounce-light"));
  for (const std::string& name : planted) {
    EXPECT_EQ(fs::read_symlink(dir.path() / name), dir.path() / "victim.txt") << name;
  }
  EXPECT_EQ(testsupport::listDir(dir.path()).size(), planted.size() + 3);
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
  // Whatever the test runner ignores or holds, ddhost gets the usual
  // dispositions.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigfillset(&defaults);
  sigdelset(&defaults, SIGKILL);
  sigdelset(&defaults, SIGSTOP);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
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

std::string largeScript() {
  std::string text;
  for (int k = 0; k < 20000; ++k) {
    text += "push 0\nLumoxIndirect {\n}\n";
  }
  return text;
}

// A script large enough to be caught writing, and an output it replaces.
struct LargeRun {
  LargeRun() {
    writeFile(script, largeScript());
    writeFile(output, "previous RIB\n");
  }
  // What a run that was stopped must leave: the old output and the script.
  void expectUntouched() const {
    EXPECT_EQ(readFile(output), "previous RIB\n");
    EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"large.ddscript", "large.rib"}));
  }
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "large.ddscript";
  const fs::path output = dir.path() / "large.rib";
};

// Every class of signal whose default action ends the process: those that
// only end it, those that also dump core, and the resource limits'. The
// temporary is there when the signal comes, gone after, and ddhost ends by
// that very signal.
TEST(DdhostOutput, ASignalEndingTheRunLeavesNoTemporaryAndTheOldFile) {
  const LargeRun large;
  // No core files from the signals that dump one.
  rlimit saved{};
  getrlimit(RLIMIT_CORE, &saved);
  rlimit noCore = saved;
  noCore.rlim_cur = 0;
  setrlimit(RLIMIT_CORE, &noCore);

  for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGPIPE,
                           SIGRTMIN, SIGQUIT, SIGABRT, SIGXCPU, SIGXFSZ}) {
    SCOPED_TRACE(strsignal(signal));
    const int status = interruptWhileWriting(large.script, large.output, signal);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "wait status " << status;
    large.expectUntouched();
  }
  setrlimit(RLIMIT_CORE, &saved);
}

// What the manual's recovery steps start from: a run killed outright leaves
// the old file whole and one temporary, under the name it tells the user to
// delete.
TEST(DdhostOutput, AKilledRunLeavesTheOldFileAndANamedTemporary) {
  const LargeRun large;
  const int status = interruptWhileWriting(large.script, large.output, SIGKILL);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "wait status " << status;
  EXPECT_EQ(readFile(large.output), "previous RIB\n");
  const std::vector<std::string> names = testsupport::listDir(large.dir.path());
  ASSERT_EQ(names.size(), 3u) << ::testing::PrintToString(names);
  EXPECT_TRUE(std::regex_match(names[0], std::regex(R"(\.large\.rib\.ddhost-[A-Za-z0-9]{16})"))) << names[0];
}

// A file size limit the RIB outgrows: the partial temporary goes too.
TEST(DdhostOutput, AFileSizeLimitLeavesNoPartialTemporary) {
  const LargeRun large;
  // The shell names the signal that ended ddhost: SIGXFSZ itself, not
  // whatever signal a faulty clean-up might end by.
  const ProcessResult run = shell("ulimit -c 0; ulimit -f 10; " + shellWord(testsupport::installedDdhost()) + " -o " +
                                  shellWord(large.output) + " " + shellWord(large.script) + "; kill -l $?");
  EXPECT_EQ(run.out, "XFSZ\n") << run.err;
  large.expectUntouched();
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

// An output that names an input, by whatever name, is a wrong command line
// and the input stays as it was.
TEST(DdhostOutput, AnOutputNamingAnInputIsACommandLineError) {
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "scene.ddscript";
  const std::string text = readFile(exampleScript("bounce-light"));
  writeFile(script, text);
  const fs::path plugins = dir.path() / "plugins";
  fs::create_directory(plugins);
  const fs::path plugin = plugins / testsupport::installedPlugin().filename();
  fs::copy_file(testsupport::installedPlugin(), plugin);
  const std::string pluginBytes = readFile(plugin);

  struct Case {
    std::vector<std::string> outputs;
    const char* names;
  };
  std::vector<Case> cases = {
      {{"-o", script.string()}, "names the script"},
      {{"--viewer", script.string()}, "names the script"},
      {{"-o", (dir.path() / "plugins" / ".." / "scene.ddscript").string()}, "names the script"},
      {{"-o", (dir.path() / "." / "plugins" / plugin.filename()).string()}, "names the plug-in file"},
  };
#if defined(_WIN32)
  cases.push_back({{"-o", (dir.path() / "SCENE.DDSCRIPT").string()}, "names the script"});
#else
  fs::create_symlink("scene.ddscript", dir.path() / "link");
  fs::create_hard_link(script, dir.path() / "hard");
  cases.push_back({{"-o", (dir.path() / "link").string()}, "names the script"});
  cases.push_back({{"-o", (dir.path() / "hard").string()}, "names the script"});
  cases.push_back({{"--viewer", (dir.path() / "hard").string()}, "names the script"});
#endif
  const std::vector<std::string> before = testsupport::listDir(dir.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.outputs));
    std::vector<std::string> arguments = c.outputs;
    arguments.insert(arguments.end(), {"--plugin-dir", plugins.string(), script.string()});
    const ProcessResult run = ddhost(arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr(c.names));
    EXPECT_EQ(readFile(script), text);
    EXPECT_EQ(readFile(plugin), pluginBytes);
    EXPECT_EQ(testsupport::listDir(dir.path()), before);
  }
#if !defined(_WIN32)
  // The script read from standard input is as much an input.
  const ProcessResult fromInput = shell("exec " + shellWord(testsupport::installedDdhost()) + " -o " +
                                        shellWord(script) + " - < " + shellWord(script));
  EXPECT_EQ(fromInput.exitStatus, 2);
  EXPECT_EQ(readFile(script), text);
  // Only a file can be overwritten: a device (a terminal, say) may be both.
  const ProcessResult device = shell("exec " + shellWord(testsupport::installedDdhost()) +
                                     " -o /dev/null - < /dev/null");
  EXPECT_EQ(device.exitStatus, 0) << device.err;
#endif
}

TEST(DdhostOutput, ADashWritesTheRibToStandardOutput) {
  const testsupport::TemporaryDirectory dir;
#if defined(_WIN32)
  const ProcessResult run = ddhost({"-o", "-", exampleScript("bounce-light")});
  EXPECT_FALSE(fs::exists("-"));
#else
  const ProcessResult run =
      shell("cd " + shellWord(dir.path()) + " && exec " + shellWord(testsupport::installedDdhost()) + " -o - " +
            shellWord(exampleScript("bounce-light")));
  EXPECT_TRUE(fs::is_empty(dir.path()));
#endif
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, golden("bounce-light"));
}

#if !defined(_WIN32)
constexpr unsigned kNobody = 65534;

// A folder of the test's that `nobody` may pass through.
void openToOthers(const fs::path& dir) {
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
}

// The installed tree and the example, copied where `nobody` can reach them
// whatever folder the build lives in (a clone under /root is closed to it).
struct NobodysCopy {
  explicit NobodysCopy(const fs::path& dir) : tree(dir / "tree"), script(dir / "bounce-light.ddscript") {
    fs::copy(testsupport::installedPrefix(), tree, fs::copy_options::recursive);
    fs::copy_file(exampleScript("bounce-light"), script);
    fs::permissions(script, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);
  }
  fs::path tree;
  fs::path script;
};

// ddhost run as `nobody`, from the copy.
ProcessResult asNobody(const NobodysCopy& copy, const std::vector<std::string>& arguments) {
  std::vector<std::string> words = {"--reuid=65534", "--regid=65534", "--clear-groups",
                                    (copy.tree / "bin" / "ddhost").string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  words.push_back(copy.script.string());
  return testsupport::runProcess("/usr/bin/setpriv", words);
}

// As a user who may write the sticky folder but not replace another user's
// file in it: refused before anything is replaced, though the RIB could
// have been.
TEST(DdhostOutput, AnOutputThatCannotBeReplacedIsRefusedBeforeAnyIs) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as two users";
  }
  const testsupport::TemporaryDirectory dir;
  openToOthers(dir.path());
  const NobodysCopy copy(dir.path());
  const fs::path sticky = dir.path() / "shared";
  fs::create_directory(sticky);
  fs::permissions(sticky, fs::perms::all | fs::perms::sticky_bit);
  const fs::path rib = sticky / "pair.rib";
  const fs::path png = sticky / "pair.png";
  writeFile(rib, "previous RIB\n");
  ASSERT_EQ(chown(rib.c_str(), kNobody, kNobody), 0);
  writeFile(png, "previous picture\n");
  fs::permissions(png, fs::perms::all);  // writable, yet not the user's to replace

  const ProcessResult run = asNobody(copy, {"-o", rib.string(), "--viewer", png.string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_THAT(run.err, HasSubstr("cannot write " + png.string() + ": it belongs to another user"));
  EXPECT_EQ(readFile(rib), "previous RIB\n");
  EXPECT_EQ(readFile(png), "previous picture\n");
  EXPECT_EQ(testsupport::listDir(sticky), (std::vector<std::string>{"pair.png", "pair.rib"}));

  // A folder the user may not create files in, and a device it may not
  // write, are refused up front too.
  const fs::path closed = dir.path() / "closed";
  fs::create_directory(closed);
  fs::permissions(closed, fs::perms::owner_all | fs::perms::others_exec);
  const ProcessResult folder = asNobody(copy, {"-o", (closed / "new.rib").string()});
  EXPECT_EQ(folder.exitStatus, 1);
  EXPECT_THAT(folder.err, HasSubstr("its folder " + closed.string() + " is not writable: Permission denied"));
  EXPECT_TRUE(fs::is_empty(closed));
  const fs::path fifo = dir.path() / "private.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const ProcessResult special = asNobody(copy, {"-o", fifo.string()});
  EXPECT_EQ(special.exitStatus, 1);
  EXPECT_THAT(special.err, HasSubstr("cannot write " + fifo.string() + ": Permission denied"));
}

// Another user's file the user may replace (the folder is the user's to
// write, not sticky) but not link to under fs.protected_hardlinks: the old
// file is moved aside while the new one is put in place, and nothing of
// it is left afterwards.
TEST(DdhostOutput, AFileThatCannotBeLinkedToIsStillReplaced) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as two users";
  }
  const testsupport::TemporaryDirectory dir;
  openToOthers(dir.path());
  const NobodysCopy copy(dir.path());
  const fs::path folder = dir.path() / "open";
  fs::create_directory(folder);
  fs::permissions(folder, fs::perms::all);
  const fs::path rib = folder / "theirs.rib";
  writeFile(rib, "previous RIB\n");
  fs::permissions(rib, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                           fs::perms::others_read);
  const ProcessResult run = asNobody(copy, {"-o", rib.string()});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(readFile(rib), golden("bounce-light"));
  EXPECT_EQ(testsupport::listDir(folder), std::vector<std::string>{"theirs.rib"});
}
#endif

#if !defined(_WIN32)
// A library loaded only with a plug-in, after the outputs were checked, is
// an input all the same: an output naming it is refused before anything is
// written, for a RIB and for a description.
TEST(DdhostOutput, ALibraryAPluginLoadedIsRefusedAtTheCommit) {
  const testsupport::TemporaryDirectory dir;
  const fs::path tree = dir.path() / "importing";
  fs::copy(DDHOST_IMPORTING_TREE, tree, fs::copy_options::recursive);
  const fs::path library = tree / "lib" / "ImportedLibrary.so";
  const std::string bytes = readFile(library);
  const fs::path script = dir.path() / "scene.ddscript";
  writeFile(script, "UsesItsImport {\n}\n");
  const std::vector<std::string> plugins = {"--plugin-dir", (tree / "plugins").string()};
  const std::vector<std::vector<std::string>> runs = {
      {"-o", library.string(), script.string()},
      {"-o", library.string(), "--describe", "UsesItsImport"},
  };
  for (std::vector<std::string> arguments : runs) {
    arguments.insert(arguments.begin(), plugins.begin(), plugins.end());
    SCOPED_TRACE(arguments[3] + " " + arguments[4]);
    const ProcessResult run = ddhost(arguments);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("cannot write " + library.string() + ": it names the loaded library "));
    EXPECT_THAT(run.err, HasSubstr("ImportedLibrary.so, loaded since the outputs were checked"));
    EXPECT_EQ(readFile(library), bytes);
    EXPECT_EQ(testsupport::listDir(tree / "lib"), std::vector<std::string>{"ImportedLibrary.so"});
  }
}
#endif

}  // namespace
