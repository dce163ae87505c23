#include "NativeFile.h"

#include <ddhost/OutputPath.h>

#if !defined(_WIN32)
#  include <sys/stat.h>
#  include <unistd.h>

#  include <cerrno>
#  include <deque>
#  include <system_error>
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
  return "cannot check " + what + " for names another user controls: " + std::generic_category().message(error);
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

}  // namespace

// The path is walked a name at a time, links followed by hand, so that each
// name is judged in the folder that holds it, as the kernel's
// protected_symlinks, protected_fifos and protected_regular do (whatever
// they are set to, and for root too).
std::string sharedFolderProblem(const fs::path& given) {
  if (inheritedDescriptor(given)) {
    return {};
  }
  std::error_code error;
  fs::path current = given.is_absolute() ? given.root_path() : fs::current_path(error);
  if (error) {
    return cannotLook("the current folder", error.value());
  }
  const fs::path names = given.relative_path();
  std::deque<fs::path> rest(names.begin(), names.end());
  const uid_t user = geteuid();
  int links = 0;
  while (!rest.empty()) {
    const fs::path name = rest.front();
    rest.pop_front();
    if (name.empty() || name == ".") {
      continue;
    }
    if (name == "..") {
      current = current.parent_path();
      continue;
    }
    const fs::path next = current / name;
    struct stat folder {};
    struct stat status {};
    if (::stat(current.c_str(), &folder) != 0) {
      return cannotLook(current.string(), errno);
    }
    if (::lstat(next.c_str(), &status) != 0) {
      const int failure = errno;
      // A name that does not exist yet is a new output, or (on the way) a
      // folder that does not exist, which the writer's own checks report.
      if (failure == ENOENT || failure == ENOTDIR) {
        return {};
      }
      return cannotLook(next.string(), failure);
    }
    if (isShared(folder) && status.st_uid != user && status.st_uid != folder.st_uid) {
      const std::string owned = " belongs to another user, and its folder " + current.string() +
                                " is shared (sticky, and writable by others)";
      return rest.empty() && !S_ISLNK(status.st_mode) ? "it" + owned : kindOf(status) + next.string() + owned;
    }
    if (!S_ISLNK(status.st_mode)) {
      current = next;
      continue;
    }
    if (++links > kMostLinks) {
      return cannotLook(given.string(), ELOOP);
    }
    const fs::path target = fs::read_symlink(next, error);
    if (error) {
      return cannotLook("the link " + next.string(), error.value());
    }
    if (target.is_absolute()) {
      current = target.root_path();
    }
    const fs::path relative = target.relative_path();
    rest.insert(rest.begin(), relative.begin(), relative.end());
  }
  return {};
}

#endif

}  // namespace native
}  // namespace ddhost
