// What the run reads or runs is never an output: the program, its
// libraries, the install tree's files, a script that is a FIFO; and two
// names of one folder still name one output.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#  include <csignal>
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::exampleScript;
using testsupport::ProcessResult;
using testsupport::readFile;
using testsupport::writeFile;
using ::testing::HasSubstr;

// Every file under `dir` with a digest of its bytes: short enough to print
// when a program was overwritten.
std::map<std::string, std::size_t> contents(const fs::path& dir) {
  std::map<std::string, std::size_t> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), dir).generic_string()] = std::hash<std::string>()(readFile(entry.path()));
    }
  }
  return files;
}

std::string libraryFile(const std::string& stem) {
#if defined(_WIN32)
  return stem + ".dll";
#else
  return "lib" + stem + ".so";
#endif
}

// A copy of the installed tree, so that a ddhost that did overwrite its
// own files spoils only the copy.
struct TreeCopy {
  explicit TreeCopy(const fs::path& dir) : tree(dir / "tree") {
    fs::copy(testsupport::installedPrefix(), tree, fs::copy_options::recursive);
  }
  fs::path bin() const { return tree / "bin"; }
  fs::path ddhost() const { return bin() / testsupport::installedDdhost().filename(); }
  fs::path tree;
};

// The program, the libraries it runs with and every other file of bin/
// and plugins/, named directly or by another name: a wrong command line,
// each left as it was.
TEST(DdhostInputs, AnOutputNamingAnInstalledOrRunningFileIsACommandLineError) {
  const testsupport::TemporaryDirectory dir;
  const TreeCopy copy(dir.path());
  // Not a plug-in, yet installed beside them; and plug-ins taken from
  // elsewhere, so that the installed ones are loaded by no one.
  writeFile(copy.tree / "plugins" / "notes.txt", "installed\n");
  const fs::path elsewhere = dir.path() / "elsewhere";
  fs::create_directory(elsewhere);
  const fs::path program = copy.ddhost();
  const fs::path lumox = copy.bin() / libraryFile("Lumox");
  const fs::path ddimage = copy.bin() / libraryFile("DDImage");
  const fs::path plugin = copy.tree / "plugins" / testsupport::installedPlugin().filename();
  // Built-in classes only, so that the run would succeed without the
  // plug-ins: an output that was not refused would be written.
  const fs::path script = dir.path() / "plate.ddscript";
  writeFile(script, "Constant {\n name Plate\n}\n");

  struct Case {
    std::vector<std::string> outputs;
    const char* names;
  };
  std::vector<Case> cases = {
      {{"-o", program.string()}, "-o names the program itself"},
      {{"-o", lumox.string()}, "-o names the loaded library"},
      {{"-o", ddimage.string()}, "-o names the loaded library"},
      {{"--viewer", (copy.tree / "plugins" / ".." / "bin" / program.filename()).string()}, "names the program itself"},
      {{"-o", (copy.tree / "plugins" / "notes.txt").string()}, "names the installed file"},
      {{"-o", plugin.string()}, "names the installed file"},
  };
#if defined(_WIN32)
  cases.push_back({{"-o", (copy.bin() / "DDHOST.EXE").string()}, "names the program itself"});
#else
  fs::create_symlink(program, dir.path() / "link");
  fs::create_hard_link(lumox, dir.path() / "hard");
  cases.push_back({{"-o", (dir.path() / "link").string()}, "names the program itself"});
  cases.push_back({{"-o", (dir.path() / "hard").string()}, "names the loaded library"});
#endif
  const std::map<std::string, std::size_t> before = contents(dir.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.outputs));
    std::vector<std::string> arguments = c.outputs;
    arguments.insert(arguments.end(), {"--plugin-dir", elsewhere.string(), script.string()});
    const ProcessResult run = testsupport::runProcess(program, arguments);
    EXPECT_EQ(run.exitStatus, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr(c.names));
    EXPECT_EQ(contents(dir.path()), before);
  }
}

#if !defined(_WIN32)

// A library loaded from outside the install tree is as much an input. Found
// through the search path, which comes before the program's own folder
// (and keeps a sanitizer's runtime first, as a preload would not).
TEST(DdhostInputs, AnOutputNamingALibraryLoadedFromElsewhereIsACommandLineError) {
  const testsupport::TemporaryDirectory dir;
  const fs::path library = dir.path() / libraryFile("DDImage");
  fs::copy_file(testsupport::installedPrefix() / "bin" / libraryFile("DDImage"), library);
  const std::string bytes = readFile(library);
  const ProcessResult run =
      testsupport::shell("LD_LIBRARY_PATH=" + testsupport::shellWord(dir.path()) + " exec " +
                         testsupport::shellWord(testsupport::installedDdhost()) + " -o " + testsupport::shellWord(library) +
                         " " + testsupport::shellWord(exampleScript("bounce-light")));
  EXPECT_EQ(run.exitStatus, 2) << run.err;
  EXPECT_THAT(run.err, HasSubstr("-o names the loaded library " + library.string()));
  EXPECT_EQ(readFile(library), bytes);
}

// A script that is a FIFO, also named as an output: the RIB would go where
// only ddhost reads, and be lost (or fill the pipe and hang the run).
TEST(DdhostInputs, AFifoScriptNamedAsAnOutputIsACommandLineError) {
  // A writer left after ddhost stopped reading gets EPIPE, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
  const std::string script = readFile(exampleScript("bounce-light"));
  for (const char* option : {"-o", "--viewer"}) {
    SCOPED_TRACE(option);
    const testsupport::TemporaryDirectory dir;
    const fs::path fifo = dir.path() / "scene";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The test holds the FIFO's other end: its writer waits for ddhost to
    // open it, and a reader of the test's own releases the writer whatever
    // ddhost did.
    std::thread writer([&] {
      const int end = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
      if (end >= 0) {
        const ssize_t ignored = write(end, script.data(), script.size());
        static_cast<void>(ignored);
        close(end);
      }
    });
    // A small picture: a large one would fill the pipe and wait for ever.
    const ProcessResult run = testsupport::ddhost({option, fifo.string(), "--viewer-size", "8x8", fifo.string()});
    const int release = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer.join();
    close(release);
    EXPECT_EQ(run.exitStatus, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr(std::string(option) + " names the script"));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"scene"});
  }
}

// Two names of one folder, a link to it and a bind mount, for two outputs
// that do not exist yet: one file, so a wrong command line, and nothing
// written.
TEST(DdhostInputs, OutputsInOneFolderByTwoNamesAreOneFile) {
  const testsupport::TemporaryDirectory dir;
  const fs::path real = dir.path() / "real";
  fs::create_directory(real);
  fs::create_directory_symlink("real", dir.path() / "linked");
  const std::string ddhostWord = testsupport::shellWord(testsupport::installedDdhost());
  const std::string scriptWord = testsupport::shellWord(exampleScript("bounce-light"));
  const ProcessResult linked =
      testsupport::shell("cd " + testsupport::shellWord(dir.path()) + " && exec " + ddhostWord +
                         " -o real/new --viewer linked/new " + scriptWord);
  EXPECT_EQ(linked.exitStatus, 2) << linked.err;
  EXPECT_THAT(linked.err, HasSubstr("-o and --viewer name the same file"));
  EXPECT_TRUE(fs::is_empty(real));

  if (testsupport::shell("exec unshare --user --map-root-user --mount true").exitStatus != 0) {
    GTEST_SKIP() << "no user and mount namespaces here for a bind mount";
  }
  const fs::path bound = dir.path() / "bound";
  fs::create_directory(bound);
  const ProcessResult mounted = testsupport::shell(
      "exec unshare --user --map-root-user --mount sh -c 'mount --bind \"$1\" \"$2\" && exec \"$3\" -o \"$1/new\" "
      "--viewer \"$2/new\" \"$4\"' sh " +
      testsupport::shellWord(real) + " " + testsupport::shellWord(bound) + " " + ddhostWord + " " + scriptWord);
  EXPECT_EQ(mounted.exitStatus, 2) << mounted.err;
  EXPECT_THAT(mounted.err, HasSubstr("-o and --viewer name the same file"));
  EXPECT_TRUE(fs::is_empty(real));
}

#endif

}  // namespace
