// Whatever can be found wrong with an output is found before the script is
// read: the scripts here have a syntax error on their first line, which a
// run that read them would report instead.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;
using testsupport::readFile;
using testsupport::writeFile;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kBadScript = "}{\n";

#if defined(_WIN32)
constexpr std::size_t kLongestPath = 259;  // MAX_PATH without its terminator
#else
constexpr std::size_t kLongestPath = 4095;  // PATH_MAX without its terminator
#endif

// A folder under `base` whose path is exactly `length` characters long.
fs::path folderOfLength(const fs::path& base, std::size_t length) {
  fs::path folder = base;
  while (folder.native().size() < length) {
    const std::size_t left = length - folder.native().size() - 1;
    // Each part within the 255 characters a name may have, and none left
    // empty at the end.
    const std::size_t part = left > 200 ? std::min<std::size_t>(left - 2, 200) : left;
    folder /= std::string(part, 'd');
  }
  fs::create_directories(folder);
  return folder;
}

// The temporary's name (".NAME.ddhost-" and 16) or the backup's
// (".NAME.ddhost-backup-" and 16) beside a file that itself fits: refused,
// naming which and the limit, and the folder left empty or as it was.
TEST(DdhostOutputChecks, ANameBesideTheOutputOverThePathLimitIsRefusedFirst) {
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "bad.ddscript";
  writeFile(script, kBadScript);
  const std::string name = "out.rib";
  // Long enough that ".out.rib.ddhost-" and 16 more overflow, short
  // enough that the file's own path fits.
  const fs::path folder = folderOfLength(fs::absolute(dir.path()), kLongestPath - name.size() - 20);
  ASSERT_LE((folder / name).native().size(), kLongestPath);
  struct Case {
    bool existing;
    const char* says;
  };
  for (const Case& c : {Case{false, "its temporary name beside it would be"}, Case{true, "its backup name beside it would be"}}) {
    SCOPED_TRACE(c.says);
    if (c.existing) {
      writeFile(folder / name, "previous RIB\n");
    }
    const ProcessResult run = testsupport::ddhost({"-o", (folder / name).string(), script.string()});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr(c.says));
    EXPECT_THAT(run.err, HasSubstr("over the system's limit of " + std::to_string(kLongestPath)));
    EXPECT_THAT(run.err, Not(HasSubstr("bad.ddscript")));
    if (c.existing) {
      EXPECT_EQ(readFile(folder / name), "previous RIB\n");
      EXPECT_EQ(testsupport::listDir(folder), std::vector<std::string>{name});
    } else {
      EXPECT_TRUE(fs::is_empty(folder));
    }
  }
}

#if !defined(_WIN32)

// Descriptors the caller handed down, closed or open only for reading:
// refused at once with exit 1, rather than once the scene is built.
TEST(DdhostOutputChecks, AnInheritedDescriptorThatCannotBeWrittenIsRefusedFirst) {
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "bad.ddscript";
  writeFile(script, kBadScript);
  const fs::path readable = dir.path() / "readable";
  writeFile(readable, "kept\n");
  const std::string run = "exec " + testsupport::shellWord(testsupport::installedDdhost());
  const std::string scriptWord = " " + testsupport::shellWord(script);
  struct Case {
    std::string command;
    std::string says;
  };
  const Case cases[] = {
      {run + " -o /dev/fd/9" + scriptWord + " 9>&-", "cannot write /dev/fd/9: it is not open: Bad file descriptor"},
      {run + " -o /dev/fd/9" + scriptWord + " 9< " + testsupport::shellWord(readable),
       "cannot write /dev/fd/9: it is open for reading only"},
      {run + " -o /proc/self/fd/7" + scriptWord + " 7< " + testsupport::shellWord(readable),
       "cannot write /proc/self/fd/7: it is open for reading only"},
      {run + " -o /dev/stdout" + scriptWord + " 1< " + testsupport::shellWord(readable),
       "cannot write /dev/stdout: it is open for reading only"},
      {run + scriptWord + " 1< " + testsupport::shellWord(readable), "cannot write standard output: it is open for reading only"},
      {run + " --describe LumoxIndirect 1< " + testsupport::shellWord(readable),
       "cannot write standard output: it is open for reading only"},
      {run + " --describe LumoxIndirect >&-", "cannot write standard output: it is not open: Bad file descriptor"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const ProcessResult ran = testsupport::shell(c.command);
    EXPECT_EQ(ran.exitStatus, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(testsupport::lines(ran.err), std::vector<std::string>{"ddhost: " + c.says});
    EXPECT_EQ(readFile(readable), "kept\n");
  }
}

// Standard input, output or error closed by the caller is told as closed,
// by every name: nothing the run opens (the script, the output) takes its
// number and passes for it.
TEST(DdhostOutputChecks, AStandardDescriptorClosedAtStartIsJudgedClosed) {
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "bad.ddscript";
  writeFile(script, kBadScript);
  const std::string run = "exec " + testsupport::shellWord(testsupport::installedDdhost());
  const std::string scriptWord = " " + testsupport::shellWord(script);
  const std::string rib = " -o " + testsupport::shellWord(dir.path() / "out.rib");
  struct Case {
    std::string command;
    int status;
    // Empty where standard error is the one closed.
    std::vector<std::string> says;
  };
  const Case cases[] = {
      {run + scriptWord + " >&-", 1, {"ddhost: cannot write standard output: it is not open: Bad file descriptor"}},
      {run + " -o /proc/self/fd/1" + scriptWord + " >&-", 1,
       {"ddhost: cannot write /proc/self/fd/1: it is not open: Bad file descriptor"}},
      {run + rib + " --viewer /dev/fd/1" + scriptWord + " >&-", 1,
       {"ddhost: cannot write /dev/fd/1: it is not open: Bad file descriptor"}},
      {run + " -o /dev/stderr" + scriptWord + " 2>&-", 1, {}},
      {run + " -o /dev/stdin" + scriptWord + " <&-", 1,
       {"ddhost: cannot write /dev/stdin: it is not open: Bad file descriptor"}},
      {run + rib + " - <&-", 1, {"ddhost: cannot read the script from standard input: Bad file descriptor"}},
      {run + rib + " /dev/stdin <&-", 1, {"ddhost: cannot read /dev/stdin: Bad file descriptor"}},
      {run + rib + " - < " + testsupport::shellWord(dir.path()), 1,
       {"ddhost: cannot read standard input: it is a folder"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const ProcessResult ran = testsupport::shell(c.command);
    EXPECT_EQ(ran.exitStatus, c.status);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(testsupport::lines(ran.err), c.says);
    EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"bad.ddscript"});
  }
}

#endif

}  // namespace
