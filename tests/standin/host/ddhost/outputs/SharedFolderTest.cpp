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
#include <system_error>
#include <vector>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <poll.h>
#  include <sys/stat.h>
#  include <unistd.h>

#  include <cerrno>
#  include <thread>
#endif

namespace {

#if !defined(_WIN32)

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;
using ::testing::HasSubstr;
using ::testing::Not;

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

// A name planted at the end of a path longer than the system takes whole
// is still judged in its folder and refused, whether the run starts deep
// inside (its current folder's path too long) or is given the long path.
TEST(DdhostSharedFolders, NamesPastTheWholePathLimitAreJudged) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as two users";
  }
  const Folders folders;
  const std::string part(200, 'd');
  fs::path below;
  while (below.native().size() < 4200) {
    below /= part;
  }
  const std::string name = "planted-link-name";
  // Made from within, where each path is short; bash, as dash's cd goes by
  // the whole path.
  std::string make = "cd " + testsupport::shellWord(folders.shared);
  for (const fs::path& folder : below) {
    make += " && mkdir " + folder.string() + " && chmod 1777 " + folder.string() + " && cd " + folder.string();
  }
  make += " && ln -s " + testsupport::shellWord(folders.victim) + " " + name + " && chown -h 65534:65534 " + name;
  ASSERT_EQ(testsupport::shell(make, "/bin/bash").exitStatus, 0);
  ASSERT_GT((folders.shared / below / name).native().size(), 4096u);
  std::string down;
  for (const fs::path& folder : below) {
    down += " && cd " + folder.string();
  }
  struct Case {
    const char* what;
    std::string cd;  // from the shared folder, a name at a time
    fs::path output;
  };
  const Case cases[] = {
      {"from the folder that holds it", down, name},
      {"given the whole path from above", "", below / name},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const testsupport::ProcessResult run = testsupport::shell(
        "cd " + testsupport::shellWord(folders.shared) + c.cd + " && exec " +
        testsupport::shellWord(testsupport::installedDdhost()) + " -o " + testsupport::shellWord(c.output) + " " +
        testsupport::shellWord(testsupport::exampleScript("bounce-light")),
        "/bin/bash");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("cannot write " + c.output.string() + ": the link "));
    EXPECT_THAT(run.err, HasSubstr(name + " belongs to another user, and its folder "));
    EXPECT_THAT(run.err, Not(HasSubstr("cannot check")));
    EXPECT_EQ(readFile(folders.victim), "not yours\n");
  }
  // Out of the way of the folder's removal, which goes by whole paths.
  EXPECT_EQ(testsupport::shell("cd " + testsupport::shellWord(folders.shared) + " && rm -rf " + part).exitStatus, 0);
}

// Where the walk cannot look at a name, the output is refused rather than
// written through what it could not see.
TEST(DdhostSharedFolders, ANameThatCannotBeLookedAtIsRefused) {
  struct Case {
    const char* what;
    bool rootSees;  // root searches any folder
    std::function<fs::path(const fs::path&)> make;
    const char* reason;
  };
  const Case cases[] = {
      {"links that lead round in a circle, on the way", true,
       [](const fs::path& dir) {
         fs::create_symlink("round", dir / "about");
         fs::create_symlink("about", dir / "round");
         return dir / "about" / "out.rib";
       },
       "for names another user controls: Too many levels of symbolic links"},
      {"a folder that cannot be searched", false,
       [](const fs::path& dir) {
         fs::create_directory(dir / "locked");
         fs::permissions(dir / "locked", fs::perms::owner_read);
         return dir / "locked" / "out.rib";
       },
       "/locked/out.rib for names another user controls: Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.rootSees && geteuid() == 0) {
      continue;
    }
    const testsupport::TemporaryDirectory dir;
    const fs::path output = c.make(dir.path());
    const testsupport::ProcessResult run =
        testsupport::ddhost({"-o", output.string(), testsupport::exampleScript("bounce-light")});
    std::error_code ignored;
    fs::permissions(dir.path() / "locked", fs::perms::owner_all, ignored);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("cannot write " + output.string() + ": cannot check "));
    EXPECT_THAT(run.err, HasSubstr(c.reason));
  }
}

// A run whose script comes through a FIFO the test holds, so that the test
// can act while the run is between its checks and its commit.
class HeldRun {
public:
  HeldRun(const fs::path& dir, std::vector<std::string> arguments) : fifo_(dir / "script.fifo") {
    EXPECT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
    // Read and write: opening never waits, and a run that never opens it
    // cannot hold the test.
    writer_ = open(fifo_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(writer_, 0);
    arguments.push_back(fifo_.string());
    runner_ = std::thread([this, arguments] { result_ = testsupport::ddhost(arguments); });
  }
  ~HeldRun() { finish(""); }

  // Returns once the run has read from the script, so is past every check
  // of its outputs: more than a pipe holds has been taken.
  void pastTheChecks() {
    const std::string comment = "# " + std::string(97, 'x') + "\n";
    std::string text;
    while (text.size() <= (64u << 10) + 4096) {
      text += comment;
    }
    send(text);
  }

  testsupport::ProcessResult finish(const std::string& rest) {
    if (runner_.joinable()) {
      send(rest);
      close(writer_);
      runner_.join();
    }
    return result_;
  }

private:
  void send(const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
      const ssize_t n = write(writer_, text.data() + sent, text.size() - sent);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      pollfd room{writer_, POLLOUT, 0};
      // Only a run that stopped reading gets here for long.
      if (n < 0 && errno == EAGAIN && poll(&room, 1, 120000) == 1) {
        continue;
      }
      ADD_FAILURE() << "the run stopped reading its script";
      return;
    }
  }

  fs::path fifo_;
  int writer_ = -1;
  std::thread runner_;
  testsupport::ProcessResult result_;
};

struct Found {
  std::string content;
  uid_t owner = 0;
  mode_t mode = 0;
};

Found found(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
  return Found{readFile(path), status.st_uid, status.st_mode & 07777};
}

constexpr uid_t kThirdUser = 4242;

// What the checks found at the start must hold at the commit: a name
// another user takes meanwhile in a shared folder is left to them, and a
// file the folder's owner swaps meanwhile is not replaced.
TEST(DdhostSharedFolders, WhatChangedSinceTheChecksIsRefusedAtTheCommit) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as two users";
  }
  struct Case {
    const char* what;
    // The folder's owner; the output's name is "scene.rib" in it.
    uid_t folderOwner;
    bool fileAtStart;
    const char* reason;
  };
  const Case cases[] = {
      {"a free name in the user's shared folder", 0, false, "a file was put under its name while the run went on"},
      {"a free name in a third user's shared folder", kThirdUser, false,
       "a file was put under its name while the run went on"},
      {"the user's file swapped by the folder's owner", kNobody, true,
       "it is no longer the file that was there when the run started"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Folders folders;
    const fs::path folder = folders.dir.path() / "sticky";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit);
    ASSERT_EQ(chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
    const fs::path output = folder / "scene.rib";
    if (c.fileAtStart) {
      writeFile(output, "the user's\n");
    }
    HeldRun run(folders.dir.path(), {"-o", output.string()});
    run.pastTheChecks();
    // As uid 65534 would: a new file of its own under the name.
    const fs::path planted = folder / "planted";
    writeFile(planted, "theirs\n");
    ASSERT_EQ(chmod(planted.c_str(), 0666), 0);
    giveAway(planted);
    fs::rename(planted, output);
    const testsupport::ProcessResult result = run.finish(testsupport::readFile(testsupport::exampleScript("bounce-light")));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, HasSubstr("cannot write " + output.string() + ": " + c.reason));
    const Found left = found(output);
    EXPECT_EQ(left.content, "theirs\n");
    EXPECT_EQ(left.owner, kNobody);
    EXPECT_EQ(left.mode, 0666u);
    EXPECT_EQ(testsupport::listDir(folder), std::vector<std::string>{"scene.rib"});
  }
}

// Elsewhere a file that took the name meanwhile is replaced as any file
// is, but lends the output neither its owner nor its mode: those come only
// from what the checks found.
TEST(DdhostSharedFolders, AFilePutThereSinceTheChecksLendsNothing) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to act as two users";
  }
  const Folders folders;
  const fs::path output = folders.plain / "scene.rib";
  HeldRun run(folders.dir.path(), {"-o", output.string()});
  run.pastTheChecks();
  writeFile(output, "theirs\n");
  ASSERT_EQ(chmod(output.c_str(), 0666), 0);
  giveAway(output);
  const std::string script = testsupport::readFile(testsupport::exampleScript("bounce-light"));
  const testsupport::ProcessResult result = run.finish(script);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  const mode_t mask = umask(0);
  umask(mask);
  const Found written = found(output);
  EXPECT_EQ(written.content, readFile(testsupport::goldenDir() / "bounce-light.rib"));
  EXPECT_EQ(written.owner, 0u);
  EXPECT_EQ(written.mode, 0666u & ~mask);
}

#endif

}  // namespace
