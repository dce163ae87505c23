#include "NativeFile.h"

#include <ddhost/OutputPath.h>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>

#  include <cerrno>
#  include <deque>
#  include <system_error>
#  include <vector>
#endif

namespace ddhost {
namespace native {

namespace fs = std::filesystem;

#if defined(_WIN32)

// Windows has no folder in which anyone may create names but only their
// owners may remove them; its access lists are checked by inspect().
std::string sharedFolderProblem(const fs::path&) {
  return {};
}

#else

namespace {

// Where anyone may create a name that only its owner may remove or rename:
// whoever created one there controls what it is.
bool isShared(const struct stat& folder) {
  return sharedFolderMode(folder.st_mode);
}

// A check that cannot look refuses: what it could not see may be planted.
std::string cannotLook(const std::string& what, int error) {
  // As the writer's own messages: a descriptor limit is named for what ran out.
  const std::string reason = error == EMFILE || error == ENFILE
                                 ? "no more files could be opened (" + std::generic_category().message(error) + ")"
                                 : std::generic_category().message(error);
  return "cannot check " + what + " for names another user controls: " + reason;
}

const char* kindOf(const struct stat& status) {
  if (S_ISLNK(status.st_mode)) {
    return "the link ";
  }
  if (S_ISDIR(status.st_mode)) {
    return "the folder ";
  }
  if (S_ISFIFO(status.st_mode)) {
    return "the FIFO ";
  }
  return S_ISREG(status.st_mode) ? "the file " : "the special file ";
}

constexpr int kMostLinks = 40;

// A folder held open while the walk is in it, closed on every way out.
class HeldFolder {
public:
  HeldFolder() = default;
  ~HeldFolder() { reset(-1); }
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;

  // Opens `name` in `at` (or the process's own view of it for AT_FDCWD);
  // false with errno set if it cannot.
  bool open(int at, const char* name, int extra) {
    const int opened = openat(at, name, O_PATH | O_DIRECTORY | O_CLOEXEC | extra);
    if (opened < 0) {
      return false;
    }
    reset(opened);
    return true;
  }
  void take(HeldFolder& other) {
    reset(other.descriptor_);
    other.descriptor_ = -1;
  }
  int get() const { return descriptor_; }

private:
  void reset(int descriptor) {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
    descriptor_ = descriptor;
  }
  int descriptor_ = -1;
};

// The whole link, however long: readlinkat tells only that it filled the
// buffer.
bool readLink(int folder, const char* name, std::string& target) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlinkat(folder, name, buffer.data(), buffer.size());
    if (length < 0) {
      return false;
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      target.assign(buffer.data(), static_cast<std::size_t>(length));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// How the walk names the folder it is in: the path as given, from the
// current folder's path where the system can tell it (as messages always
// did), else from ".". Only ever shown, never looked up.
fs::path shownStart(const fs::path& given) {
  if (given.is_absolute()) {
    return given.root_path();
  }
  std::error_code error;
  const fs::path current = fs::current_path(error);
  return error ? fs::path() : current;
}

std::string shown(const fs::path& folder) {
  return folder.empty() ? std::string(".") : folder.string();
}

fs::path shownParent(const fs::path& folder) {
  if (folder.empty() || folder.filename() == "..") {
    return folder / "..";
  }
  return folder.parent_path();
}

}  // namespace

// The path is walked a name at a time, links followed by hand, so that each
// name is judged in the folder that holds it, as the kernel's
// protected_symlinks, protected_fifos and protected_regular do (whatever
// they are set to, and for root too). Each folder is held by its
// descriptor and each name looked up in it, so no path length stops the
// walk, and what is judged is what is passed through.
std::string sharedFolderProblem(const fs::path& given) {
  if (inheritedDescriptor(given)) {
    return {};
  }
  HeldFolder current;
  fs::path where = shownStart(given);
  if (!current.open(AT_FDCWD, given.is_absolute() ? "/" : ".", 0)) {
    return cannotLook(given.is_absolute() ? std::string("/") : std::string("the current folder"), errno);
  }
  struct stat folder {};
  if (fstat(current.get(), &folder) != 0) {
    return cannotLook(shown(where), errno);
  }
  const fs::path names = given.relative_path();
  std::deque<fs::path> rest(names.begin(), names.end());
  const uid_t user = geteuid();
  const auto controlledByAnother = [&](const struct stat& status) {
    return isShared(folder) && status.st_uid != user && status.st_uid != folder.st_uid;
  };
  int links = 0;
  while (!rest.empty()) {
    const fs::path name = rest.front();
    rest.pop_front();
    if (name.empty() || name == ".") {
      continue;
    }
    if (name == "..") {
      // The folder's own parent: where the system would go from here,
      // whatever path led to it.
      if (!current.open(current.get(), "..", 0) || fstat(current.get(), &folder) != 0) {
        return cannotLook(shown(where / ".."), errno);
      }
      where = shownParent(where);
      continue;
    }
    const fs::path next = where / name;
    struct stat status {};
    if (fstatat(current.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      const int failure = errno;
      // A name that does not exist yet is a new output, or (on the way) a
      // folder that does not exist, which the writer's own checks report.
      if (failure == ENOENT || failure == ENOTDIR) {
        return {};
      }
      return cannotLook(next.string(), failure);
    }
    if (controlledByAnother(status)) {
      const std::string owned =
          " belongs to another user, and its folder " + shown(where) + " is shared (sticky, and writable by others)";
      return rest.empty() && !S_ISLNK(status.st_mode) ? "it" + owned : kindOf(status) + next.string() + owned;
    }
    if (!S_ISLNK(status.st_mode)) {
      if (rest.empty()) {
        break;
      }
      HeldFolder inner;
      if (!inner.open(current.get(), name.c_str(), O_NOFOLLOW)) {
        const int failure = errno;
        // Not a folder: the names after it do not exist, as above.
        if (failure == ENOENT || failure == ENOTDIR) {
          return {};
        }
        return cannotLook(next.string(), failure);
      }
      struct stat entered {};
      if (fstat(inner.get(), &entered) != 0) {
        return cannotLook(next.string(), errno);
      }
      // Judged again as opened: the name may have been swapped since.
      if (controlledByAnother(entered)) {
        return "the folder " + next.string() + " belongs to another user, and its folder " + shown(where) +
               " is shared (sticky, and writable by others)";
      }
      current.take(inner);
      folder = entered;
      where = next;
      continue;
    }
    if (++links > kMostLinks) {
      return cannotLook(given.string(), ELOOP);
    }
    std::string target;
    if (!readLink(current.get(), name.c_str(), target)) {
      return cannotLook("the link " + next.string(), errno);
    }
    const fs::path leads(target);
    if (leads.is_absolute()) {
      if (!current.open(AT_FDCWD, "/", 0) || fstat(current.get(), &folder) != 0) {
        return cannotLook("/", errno);
      }
      where = leads.root_path();
    }
    const fs::path relative = leads.relative_path();
    rest.insert(rest.begin(), relative.begin(), relative.end());
  }
  return {};
}

#endif

}  // namespace native
}  // namespace ddhost
