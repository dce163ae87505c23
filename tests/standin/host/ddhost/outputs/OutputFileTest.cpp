// The output writer: what it leaves at each kind of target before and after
// commit, and that a discarded or failed output leaves nothing behind.
#include <ddhost/InterruptCleanup.h>
#include <ddhost/OutputFile.h>
#include <ddhost/Outputs.h>

#include "DdhostRun.h"
#include <harness/Files.h>
#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#if !defined(_WIN32)
#  include <csignal>
#  include <sys/stat.h>
#  include <unistd.h>
#else
#  include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using ddhost::OutputFile;
using testsupport::readFile;
using testsupport::writeFile;
using ::testing::HasSubstr;

const std::string kBytes = "WorldBegin\nWorldEnd\n";

// Names in `dir` that are temporaries of the writer.
std::vector<std::string> temporaries(const fs::path& dir) {
  std::vector<std::string> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.find(ddhost::kTemporaryMarker) != std::string::npos) {
      found.push_back(name);
    }
  }
  return found;
}

#if !defined(_WIN32)
constexpr unsigned kOtherUser = 65534;

unsigned modeOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0);
  return status.st_mode & 07777u;
}
#endif

struct Case {
  const char* what;
  // Makes the target in `dir` and returns its path.
  std::function<fs::path(const fs::path& dir)> prepare;
  bool replaced;  // through a temporary, rather than written in place
  // Checks after commit.
  std::function<void(const fs::path& dir, const fs::path& target)> check;
};

TEST(OutputFile, WritesEachKindOfTargetTheWayItNeeds) {
  const Case cases[] = {
      {"a new file", [](const fs::path& dir) { return dir / "new.rib"; }, true,
       [](const fs::path&, const fs::path& target) { EXPECT_EQ(readFile(target), kBytes); }},
      {"an existing file",
       [](const fs::path& dir) {
         writeFile(dir / "old.rib", "previous\n");
         return dir / "old.rib";
       },
       true, [](const fs::path&, const fs::path& target) { EXPECT_EQ(readFile(target), kBytes); }},
#if defined(_WIN32)
      {"NUL", [](const fs::path&) { return fs::path("NUL"); }, false, nullptr},
#else
      {"a character device", [](const fs::path&) { return fs::path("/dev/null"); }, false,
       [](const fs::path&, const fs::path& target) { EXPECT_TRUE(fs::is_character_file(target)); }},
      {"a file of mode 0600",
       [](const fs::path& dir) {
         writeFile(dir / "private.rib", "previous\n");
         fs::permissions(dir / "private.rib", fs::perms::owner_read | fs::perms::owner_write);
         return dir / "private.rib";
       },
       true,
       [](const fs::path&, const fs::path& target) {
         EXPECT_EQ(modeOf(target), 0600u);
         EXPECT_EQ(readFile(target), kBytes);
       }},
      {"a link to a file",
       [](const fs::path& dir) {
         fs::create_directory(dir / "real");
         writeFile(dir / "real" / "scene.rib", "previous\n");
         fs::create_symlink("real/scene.rib", dir / "link.rib");
         return dir / "link.rib";
       },
       true,
       [](const fs::path& dir, const fs::path& target) {
         EXPECT_TRUE(fs::is_symlink(target));
         EXPECT_EQ(fs::read_symlink(target), fs::path("real/scene.rib"));
         EXPECT_EQ(readFile(dir / "real" / "scene.rib"), kBytes);
         EXPECT_TRUE(temporaries(dir / "real").empty());
       }},
      {"a dangling link",
       [](const fs::path& dir) {
         fs::create_symlink("later.rib", dir / "link.rib");
         return dir / "link.rib";
       },
       true,
       [](const fs::path& dir, const fs::path& target) {
         EXPECT_TRUE(fs::is_symlink(target));
         EXPECT_EQ(readFile(dir / "later.rib"), kBytes);
       }},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const testsupport::TemporaryDirectory dir;
    const fs::path target = c.prepare(dir.path());
    std::string before;
    if (c.replaced && fs::exists(target)) {
      before = readFile(target);
    }
    {
      OutputFile file(target);
      EXPECT_EQ(file.replacesTarget(), c.replaced);
      file.stream() << kBytes.substr(0, 10);
      file.write(kBytes.data() + 10, kBytes.size() - 10);
      file.finish();
      if (c.replaced) {
        // Complete and synced, yet the target is still the old one.
        EXPECT_EQ(fs::exists(target) ? readFile(target) : std::string(), before);
        EXPECT_EQ(readFile(file.temporaryPath()), kBytes);
      }
      file.commit();
    }
    EXPECT_TRUE(temporaries(dir.path()).empty());
    if (c.check) {
      c.check(dir.path(), target);
    }
  }
}

TEST(OutputFile, LeavesTheTargetAndNoTemporaryWhenNotCommitted) {
  const testsupport::TemporaryDirectory dir;
  const fs::path target = dir.path() / "scene.rib";
  writeFile(target, "previous\n");
  {
    // Nothing is created before the first byte is written.
    const OutputFile file(target);
    EXPECT_TRUE(file.temporaryPath().empty());
    EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"scene.rib"});
  }
  {
    OutputFile file(target);
    file.write(kBytes.data(), kBytes.size());
    EXPECT_EQ(temporaries(dir.path()).size(), 1u);
  }
  {
    OutputFile file(target);
    file.write(kBytes.data(), kBytes.size());
    file.finish();
  }
  EXPECT_EQ(readFile(target), "previous\n");
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"scene.rib"});
}

// Nobody can make the writer write through a name planted in advance: the
// temporary's name is not derived from anything an observer knows.
TEST(OutputFile, TemporaryNamesAreUnpredictable) {
  const testsupport::TemporaryDirectory dir;
  const fs::path target = dir.path() / "out.rib";
  std::vector<std::string> names;
  for (int k = 0; k < 2; ++k) {
    OutputFile file(target);
    file.write("x", 1);
    const std::string name = file.temporaryPath().filename().string();
    EXPECT_THAT(name, ::testing::StartsWith(".out.rib" + std::string(ddhost::kTemporaryMarker)));
    EXPECT_EQ(file.temporaryPath().parent_path(), dir.path());
    names.push_back(name);
  }
  EXPECT_NE(names[0], names[1]);
}

// Tags given in turn, in place of random ones.
OutputFile::TagSource tagsFrom(const std::vector<std::string>& tags) {
  auto next = std::make_shared<std::size_t>(0);
  return [tags, next] { return fs::path(tags.at((*next)++ % tags.size())).native(); };
}

// Whatever is planted at the name the writer draws first (for the new file,
// or for the old one's backup) is neither written through nor replaced:
// the writer takes the next name.
TEST(OutputFile, ANamePlantedWhereTheWriterLooksIsPassedOver) {
  const std::string first(16, 'a');
  const std::string second(16, 'b');
  struct Planting {
    const char* what;
    bool link;
  };
  std::vector<Planting> plantings = {{"a file", false}};
#if !defined(_WIN32)
  plantings.push_back({"a link to another file", true});
#endif
  for (const char* marker : {ddhost::kTemporaryMarker, ddhost::kBackupMarker}) {
    for (const Planting& planting : plantings) {
      SCOPED_TRACE(std::string(planting.what) + " at " + marker);
      const testsupport::TemporaryDirectory dir;
      const fs::path target = dir.path() / "out.rib";
      const fs::path victim = dir.path() / "victim.txt";
      writeFile(target, "previous\n");
      writeFile(victim, "not yours\n");
      const fs::path planted = ddhost::besideName(target, marker, fs::path(first).native());
      if (planting.link) {
        fs::create_symlink(victim, planted);
      } else {
        writeFile(planted, "planted\n");
      }
      {
        // The temporary draws first; for the backup, the planted name is
        // the first one it draws.
        const bool temporary = marker == ddhost::kTemporaryMarker;
        OutputFile file(target, temporary ? tagsFrom({first, second}) : tagsFrom({first, first, second}));
        file.write(kBytes.data(), kBytes.size());
        if (temporary) {
          EXPECT_EQ(file.temporaryPath(), ddhost::besideName(target, marker, fs::path(second).native()));
        }
        file.commit();
      }
      EXPECT_EQ(readFile(target), kBytes);
      EXPECT_EQ(readFile(victim), "not yours\n");
      if (planting.link) {
        EXPECT_EQ(fs::read_symlink(planted), victim);
      } else {
        EXPECT_EQ(readFile(planted), "planted\n");
      }
      EXPECT_EQ(testsupport::listDir(dir.path()).size(), 3u);
    }
  }
}

#if !defined(_WIN32)
// The writer's own names beside a file whose name is as long as names get
// stay within the limit: the file can still be replaced.
TEST(OutputFile, NamesBesideTheLongestFileNameStayWithinTheLimit) {
  const testsupport::TemporaryDirectory dir;
  const std::string name(255, 'n');
  const fs::path target = dir.path() / name;
  writeFile(target, "previous\n");
  OutputFile file(target);
  file.write(kBytes.data(), kBytes.size());
  const std::string temporary = file.temporaryPath().filename().string();
  EXPECT_LE(temporary.size(), 255u);
  EXPECT_THAT(temporary, ::testing::StartsWith("." + name.substr(0, 200) + ddhost::kTemporaryMarker));
  file.commit();
  const std::string backup = file.backupPath().filename().string();
  EXPECT_LE(backup.size(), 255u);
  EXPECT_THAT(backup, ::testing::StartsWith("." + name.substr(0, 200) + ddhost::kBackupMarker));
  file.keep();
  EXPECT_EQ(readFile(target), kBytes);
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{name});
}

// While it is written the new file is the user's alone, whatever the umask
// and the file it replaces; complete, it takes that file's owner and mode
// (set-id bits included, which a change of owner would clear), or a new
// file's under the umask.
TEST(OutputFile, TheNewFileIsTheUsersAloneUntilFinished) {
  struct Target {
    const char* what;
    bool exists;
    unsigned mode;
  };
  const Target cases[] = {
      {"a new file", false, 0644},
      {"a file of mode 0600", true, 0600},
      {"a file of mode 0664", true, 0664},
  };
  const mode_t savedMask = umask(022);
  for (const Target& c : cases) {
    SCOPED_TRACE(c.what);
    const testsupport::TemporaryDirectory dir;
    const fs::path target = dir.path() / "out.rib";
    if (c.exists) {
      writeFile(target, "previous\n");
      ASSERT_EQ(chmod(target.c_str(), c.mode), 0);
    }
    OutputFile file(target);
    file.write(kBytes.data(), kBytes.size());
    struct stat during {};
    ASSERT_EQ(::stat(file.temporaryPath().c_str(), &during), 0);
    EXPECT_EQ(during.st_mode & 07777u, 0600u);
    EXPECT_EQ(during.st_uid, geteuid());
    file.commit();
    file.keep();
    struct stat after {};
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777u, c.mode);
    EXPECT_EQ(after.st_uid, geteuid());
  }
  umask(savedMask);
}

// A replaced file of another user stays theirs, group and set-id bits
// included, though written as the user's alone. Only root can give a file
// away, so only root can show it.
TEST(OutputFile, AReplacedFileOfAnotherUserStaysTheirs) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "only root can give a file to another user";
  }
  const struct {
    const char* what;
    unsigned mode;
  } cases[] = {
      {"a file of another user", 0644},
      {"another user's set-user-id file", 04750},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const testsupport::TemporaryDirectory dir;
    const fs::path target = dir.path() / "theirs.rib";
    writeFile(target, "previous\n");
    ASSERT_EQ(chown(target.c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(chmod(target.c_str(), c.mode), 0);
    OutputFile file(target);
    EXPECT_TRUE(file.replacesTarget());
    file.write(kBytes.data(), kBytes.size());
    struct stat during {};
    ASSERT_EQ(::stat(file.temporaryPath().c_str(), &during), 0);
    EXPECT_EQ(during.st_mode & 07777u, 0600u);
    EXPECT_EQ(during.st_uid, 0u);
    file.commit();
    file.keep();
    struct stat after {};
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, kOtherUser);
    EXPECT_EQ(after.st_gid, kOtherUser);
    EXPECT_EQ(after.st_mode & 07777u, c.mode);
    EXPECT_EQ(readFile(target), kBytes);
    EXPECT_TRUE(temporaries(dir.path()).empty());
  }
}
#endif

// The new file cannot be put in place (its temporary is gone): the old
// file stays, and its second name, kept to put it back, goes.
TEST(OutputFile, AFailedRenameLeavesNoSecondNameOfTheOldFile) {
  const testsupport::TemporaryDirectory dir;
  const fs::path target = dir.path() / "out.rib";
  writeFile(target, "previous\n");
  OutputFile file(target);
  file.write(kBytes.data(), kBytes.size());
  file.finish();
  fs::remove(file.temporaryPath());
  EXPECT_THROW(file.commit(), std::runtime_error);
  EXPECT_EQ(readFile(target), "previous\n");
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"out.rib"});
}

// The names a run killed outright can leave, exactly as the manual tells
// the user to recognise them: a letter or digit more or less, or another
// marker, and a user deletes the wrong file or misses a leftover.
TEST(OutputFile, LeftoverNamesAreTheDocumentedOnes) {
  const testsupport::TemporaryDirectory dir;
  const fs::path target = dir.path() / "out.rib";
  writeFile(target, "previous\n");
  OutputFile file(target);
  file.write(kBytes.data(), kBytes.size());
  const std::string temporary = file.temporaryPath().filename().string();
  file.commit();
  const std::string backup = file.backupPath().filename().string();
  const struct {
    const char* what;
    std::string name;
    std::regex pattern;
  } cases[] = {
      {"the new file", temporary, std::regex(R"(\.out\.rib\.ddhost-[A-Za-z0-9]{16})")},
      {"the old file", backup, std::regex(R"(\.out\.rib\.ddhost-backup-[A-Za-z0-9]{16})")},
  };
  for (const auto& expected : cases) {
    SCOPED_TRACE(expected.what);
    EXPECT_TRUE(std::regex_match(expected.name, expected.pattern)) << expected.name;
  }
  file.keep();
  EXPECT_EQ(readFile(target), kBytes);
}

TEST(OutputFile, RefusesWhatCannotBeWrittenBeforeWritingAnything) {
  struct Refusal {
    const char* what;
    std::function<fs::path(const fs::path& dir)> prepare;
    const char* reason;
  };
  const Refusal cases[] = {
      {"a folder",
       [](const fs::path& dir) {
         fs::create_directory(dir / "folder.rib");
         return dir / "folder.rib";
       },
       "it is a folder"},
      {"a missing folder", [](const fs::path& dir) { return dir / "missing" / "out.rib"; }, "does not exist"},
#if defined(_WIN32)
      {"a read-only file",
       [](const fs::path& dir) {
         writeFile(dir / "locked.rib", "previous\n");
         SetFileAttributesW((dir / "locked.rib").c_str(), FILE_ATTRIBUTE_READONLY);
         return dir / "locked.rib";
       },
       "read-only"},
#else
      {"a loop of links",
       [](const fs::path& dir) {
         fs::create_symlink("b.rib", dir / "a.rib");
         fs::create_symlink("a.rib", dir / "b.rib");
         return dir / "a.rib";
       },
       "symbolic links"},
#endif
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.what);
    const testsupport::TemporaryDirectory dir;
    const fs::path target = c.prepare(dir.path());
    const std::vector<std::string> before = testsupport::listDir(dir.path());
    try {
      OutputFile file(target);
      ADD_FAILURE() << "opened";
    } catch (const std::runtime_error& error) {
      EXPECT_THAT(error.what(), HasSubstr("cannot write " + target.string()));
      EXPECT_THAT(error.what(), HasSubstr(c.reason));
    }
    EXPECT_EQ(testsupport::listDir(dir.path()), before);
#if defined(_WIN32)
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
  }
}

TEST(OutputFile, SameFileIsFoundThroughOtherNames) {
  const testsupport::TemporaryDirectory dir;
  const fs::path a = dir.path() / "a.rib";
  writeFile(a, "a\n");
  writeFile(dir.path() / "b.rib", "b\n");
  EXPECT_TRUE(ddhost::sameOutputFile(a, dir.path() / "." / "a.rib"));
  EXPECT_TRUE(ddhost::sameOutputFile(dir.path() / "new.rib", dir.path() / "sub" / ".." / "new.rib"));
  EXPECT_FALSE(ddhost::sameOutputFile(a, dir.path() / "b.rib"));
  EXPECT_FALSE(ddhost::sameOutputFile(a, dir.path() / "new.rib"));
#if defined(_WIN32)
  EXPECT_TRUE(ddhost::sameOutputFile(a, dir.path() / "A.RIB"));
#else
  fs::create_symlink("a.rib", dir.path() / "link.rib");
  EXPECT_TRUE(ddhost::sameOutputFile(a, ddhost::resolveOutputPath(dir.path() / "link.rib")));
  fs::create_hard_link(a, dir.path() / "hard.rib");
  EXPECT_TRUE(ddhost::sameOutputFile(a, dir.path() / "hard.rib"));
#endif
}

#if !defined(_WIN32)
ino_t inodeOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0);
  return status.st_ino;
}
#endif

// Two outputs, the first an existing file, the second new or existing,
// each in a folder of its own.
struct Pair {
  testsupport::TemporaryDirectory dir;
  fs::path rib = dir.path() / "a" / "pair.rib";
  fs::path png = dir.path() / "b" / "pair.png";

  explicit Pair(bool pictureExists) {
    fs::create_directory(dir.path() / "a");
    fs::create_directory(dir.path() / "b");
    writeFile(rib, "previous RIB\n");
    if (pictureExists) {
      writeFile(png, "previous picture\n");
    }
  }
  void writeBoth(ddhost::RunOutputs& outputs) const {
    outputs.rib()->write(kBytes.data(), kBytes.size());
    outputs.picture()->write("PNG", 3);
  }
  // Every target as it was, and nothing of the writer's left beside them.
  void expectUnchanged(bool pictureExists) const {
    EXPECT_EQ(readFile(rib), "previous RIB\n");
    EXPECT_EQ(testsupport::listDir(rib.parent_path()), std::vector<std::string>{"pair.rib"});
    if (pictureExists) {
      EXPECT_EQ(readFile(png), "previous picture\n");
    }
  }
};

TEST(RunOutputs, PutsEveryOutputInPlaceAndKeepsNoBackup) {
  const Pair pair(true);
  {
    ddhost::RunOutputs outputs(pair.rib.string(), pair.png.string());
    pair.writeBoth(outputs);
    outputs.commit(nullptr);
  }
  EXPECT_EQ(readFile(pair.rib), kBytes);
  EXPECT_EQ(readFile(pair.png), "PNG");
  EXPECT_EQ(testsupport::listDir(pair.rib.parent_path()), std::vector<std::string>{"pair.rib"});
  EXPECT_EQ(testsupport::listDir(pair.png.parent_path()), std::vector<std::string>{"pair.png"});
}

// The picture cannot be put in place once the RIB is (its temporary
// removed): the RIB goes back to the very file it was, or away again where
// there was none.
TEST(RunOutputs, PutsTheFirstOutputBackWhenTheSecondFails) {
  for (const bool ribExists : {true, false}) {
    SCOPED_TRACE(ribExists ? "over an existing RIB" : "a new RIB");
    const Pair pair(true);
    if (!ribExists) {
      fs::remove(pair.rib);
    }
#if !defined(_WIN32)
    const ino_t before = ribExists ? inodeOf(pair.rib) : 0;
#endif
    ddhost::RunOutputs outputs(pair.rib.string(), pair.png.string());
    pair.writeBoth(outputs);
    outputs.picture()->finish();
    fs::remove(outputs.picture()->temporaryPath());
    try {
      outputs.commit(nullptr);
      ADD_FAILURE() << "committed";
    } catch (const std::runtime_error& error) {
      EXPECT_THAT(error.what(), HasSubstr("cannot write " + pair.png.string()));
      EXPECT_THAT(error.what(), ::testing::Not(HasSubstr("put back")));
    }
    if (ribExists) {
      EXPECT_EQ(readFile(pair.rib), "previous RIB\n");
#if !defined(_WIN32)
      EXPECT_EQ(inodeOf(pair.rib), before);
#endif
      EXPECT_EQ(testsupport::listDir(pair.rib.parent_path()), std::vector<std::string>{"pair.rib"});
    } else {
      EXPECT_TRUE(fs::is_empty(pair.rib.parent_path()));
    }
    EXPECT_EQ(readFile(pair.png), "previous picture\n");
    EXPECT_EQ(testsupport::listDir(pair.png.parent_path()), std::vector<std::string>{"pair.png"});
  }
}

#if !defined(_WIN32)
// The folder is held from the check on: one renamed meanwhile, and another
// put under its old name, changes nothing of where the output goes.
TEST(RunOutputs, TheFolderCheckedIsTheFolderWrittenIn) {
  const Pair pair(true);
  ddhost::RunOutputs outputs(pair.rib.string(), pair.png.string());
  pair.writeBoth(outputs);
  const fs::path moved = pair.dir.path() / "moved";
  fs::rename(pair.png.parent_path(), moved);
  fs::create_directory(pair.png.parent_path());
  outputs.commit(nullptr);
  EXPECT_EQ(readFile(moved / "pair.png"), "PNG");
  EXPECT_EQ(testsupport::listDir(moved), std::vector<std::string>{"pair.png"});
  EXPECT_TRUE(fs::is_empty(pair.png.parent_path()));
  EXPECT_EQ(readFile(pair.rib), kBytes);
}
#endif

#if !defined(_WIN32)
// A signal that arrives while the outputs are put in place waits until
// what was put in place is put back. Here it is held by the test itself,
// so that it is still pending afterwards and can be taken.
TEST(RunOutputs, ASignalDuringTheCommitPutsEverythingBack) {
  // Before the test blocks them: signals blocked then are the caller's.
  ddhost::installInterruptCleanup();
  for (const int signal : {SIGTERM, SIGUSR1, SIGXFSZ}) {
    SCOPED_TRACE(signal);
    const Pair pair(true);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigset_t saved;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &only, &saved), 0);
    {
      ddhost::RunOutputs outputs(pair.rib.string(), pair.png.string());
      pair.writeBoth(outputs);
      ASSERT_EQ(raise(signal), 0);
      EXPECT_THROW(outputs.commit(nullptr), std::runtime_error);
      EXPECT_EQ(readFile(pair.rib), "previous RIB\n");
      EXPECT_EQ(readFile(pair.png), "previous picture\n");
    }
    pair.expectUnchanged(true);
    EXPECT_EQ(testsupport::listDir(pair.png.parent_path()), std::vector<std::string>{"pair.png"});
    int taken = 0;
    EXPECT_EQ(sigwait(&only, &taken), 0);
    EXPECT_EQ(taken, signal);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  }
}
#endif

}  // namespace
