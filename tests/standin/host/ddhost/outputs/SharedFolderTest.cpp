// Names another user planted in a shared sticky folder (/tmp) are neither
// written into nor followed, whatever the kernel's own protections are set
// to and for root too; elsewhere, and where the planter owns the folder,
// links are followed as usual.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace {

#if !defined(_WIN32)

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;
using ::testing::HasSubstr;

constexpr uid_t kNobody = 65534;

// dir/shared and dir/nobodys are sticky and open to all, the first the
// running user's, the second nobody's; dir/private holds the user's file.
struct Folders {
  testsupport::TemporaryDirectory dir;
  fs::path shared = dir.path() / "shared";
  fs::path nobodys = dir.path() / "nobodys";
  fs::path plain = dir.path() / "plain";
  fs::path priv = dir.path() / "private";
  fs::path victim = priv / "victim.rib";

  Folders() {
    for (const fs::path& folder : {shared, nobodys}) {
      fs::create_directory(folder);
      fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit);
    }
    EXPECT_EQ(chown(nobodys.c_str(), kNobody, kNobody), 0);
    fs::create_directory(plain);
    fs::create_directory(priv);
    writeFile(victim, "not yours\n");
  }
};

// A link at `at` to `to`, as `nobody` would have made it.
void plantLink(const fs::path& to, const fs::path& at) {
  fs::create_symlink(to, at);
  EXPECT_EQ(lchown(at.c_str(), kNobody, kNobody), 0);
}

void giveAway(const fs::path& path) {
  EXPECT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
}

// What is left in each folder of the test, by name and content.
std::vector<std::string> everything(const fs::path& dir) {
  std::vector<std::string> found;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
    std::string line = fs::relative(entry.path(), dir).string();
    if (entry.is_symlink()) {
      line += " -> " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_regular_file()) {
      line += ": " + readFile(entry.path());
    }
    found.push_back(line);
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(DdhostSharedFolders, NamesAnotherUserPlantedAreRefusedBeforeAnyWork) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as two users";
  }
  struct Case {
    const char* what;
    // Plants the name and returns the output to give.
    std::function<fs::path(const Folders&)> plant;
    const char* reason;
  };
  const Case cases[] = {
      {"a link to the user's file",
       [](const Folders& f) {
         plantLink(f.victim, f.shared / "out.rib");
         return f.shared / "out.rib";
       },
       "the link {shared}/out.rib belongs to another user"},
      {"a link to the user's folder, on the way",
       [](const Folders& f) {
         plantLink(f.priv, f.shared / "dir");
         return f.shared / "dir" / "victim.rib";
       },
       "the link {shared}/dir belongs to another user"},
      {"a link further down a chain the user's own link starts",
       [](const Folders& f) {
         plantLink(f.victim, f.shared / "second");
         fs::create_symlink("second", f.shared / "first");
         return f.shared / "first";
       },
       "the link {shared}/second belongs to another user"},
      {"a link in a plain folder to one in the shared folder",
       [](const Folders& f) {
         plantLink(f.victim, f.shared / "planted");
         fs::create_symlink(f.shared / "planted", f.plain / "out.rib");
         return f.plain / "out.rib";
       },
       "the link {shared}/planted belongs to another user"},
      {"a regular file anyone may write",
       [](const Folders& f) {
         writeFile(f.shared / "out.rib", "theirs\n");
         fs::permissions(f.shared / "out.rib", fs::perms::all);
         giveAway(f.shared / "out.rib");
         return f.shared / "out.rib";
       },
       "it belongs to another user, and its folder {shared} is shared"},
      {"a folder of another user's, on the way",
       [](const Folders& f) {
         fs::create_directory(f.shared / "theirs");
         fs::permissions(f.shared / "theirs", fs::perms::all);
         giveAway(f.shared / "theirs");
         return f.shared / "theirs" / "out.rib";
       },
       "the folder {shared}/theirs belongs to another user"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Folders folders;
    const fs::path output = c.plant(folders);
    const std::vector<std::string> before = everything(folders.dir.path());
    // A script that would fail once read: the refusal comes first.
    const testsupport::ProcessResult run = testsupport::ddhost({"-o", output.string(), "-"}, "Nope {\n}\n");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    std::string reason = c.reason;
    reason.replace(reason.find("{shared}"), 8, folders.shared.string());
    EXPECT_THAT(run.err, HasSubstr("cannot write " + output.string() + ": " + reason));
    EXPECT_EQ(everything(folders.dir.path()), before);
  }
}

// A FIFO planted under the output's name would take the RIB away, or hold
// the run for as long as nobody reads it.
TEST(DdhostSharedFolders, AFifoAnotherUserPlantedIsRefused) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as two users";
  }
  const Folders folders;
  const fs::path fifo = folders.shared / "out.rib";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  ASSERT_EQ(chmod(fifo.c_str(), 0666), 0);
  giveAway(fifo);
  // Read by the test, so that a ddhost that writes into it does not wait.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const testsupport::ProcessResult run =
      testsupport::ddhost({"-o", fifo.string(), testsupport::exampleScript("bounce-light")});
  char byte = 0;
  const ssize_t taken = read(reader, &byte, 1);
  close(reader);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_THAT(run.err, HasSubstr("cannot write " + fifo.string() + ": it belongs to another user"));
  EXPECT_LE(taken, 0) << "the RIB went into the FIFO";
}

// Links whose owner owns the folder too, links outside shared folders and
// the user's own links are followed, and the file they lead to replaced.
TEST(DdhostSharedFolders, LinksNobodyElseControlsAreFollowed) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as two users";
  }
  struct Case {
    const char* what;
    std::function<fs::path(const Folders&)> plant;
  };
  const Case cases[] = {
      {"the folder owner's link in its folder",
       [](const Folders& f) {
         plantLink(f.victim, f.nobodys / "out.rib");
         return f.nobodys / "out.rib";
       }},
      {"another user's link in a folder that is not shared",
       [](const Folders& f) {
         plantLink(f.victim, f.plain / "out.rib");
         return f.plain / "out.rib";
       }},
      {"the user's own link in a shared folder",
       [](const Folders& f) {
         fs::create_symlink(f.victim, f.shared / "out.rib");
         return f.shared / "out.rib";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Folders folders;
    const fs::path output = c.plant(folders);
    const testsupport::ProcessResult run =
        testsupport::ddhost({"-o", output.string(), testsupport::exampleScript("bounce-light")});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(output));
    EXPECT_EQ(readFile(folders.victim), readFile(testsupport::goldenDir() / "bounce-light.rib"));
  }
}

#endif

}  // namespace
