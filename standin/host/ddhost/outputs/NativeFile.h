// The operating system's side of writing an output, and all of it: every
// difference between the platforms the output writer meets is here.
// Each call returns the reason it failed, or "" on success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace ddhost {
namespace native {

#if defined(_WIN32)
using Handle = void*;
#else
using Handle = int;
#endif
Handle noHandle();

std::string writeAll(Handle handle, const char* data, std::size_t size);
std::string syncToDisk(Handle handle);
std::string closeHandle(Handle handle);

// What is at an output's resolved path, and whether it can be written.
enum class Kind { Missing, Regular, Special };
struct Target {
  Kind kind = Kind::Missing;
  std::string problem;  // why it cannot be written or replaced, or ""
};
// A missing or regular target needs a folder the effective user may create
// files in (and, in a sticky folder, a file of its own to replace); a
// special one, write access. On Windows a read-only file is refused, as it
// could not be replaced.
Target inspect(const std::filesystem::path& resolved);

// How long a path is as the system counts it against its limit (the whole
// path on Windows, the text passed in elsewhere), and that limit.
std::size_t pathLength(const std::filesystem::path& path);
std::size_t longestPath();

// Opens an existing special file (a device, a FIFO, NUL) for writing, or
// shares a descriptor the process already has (POSIX /dev/fd/N).
std::string openSpecial(const std::filesystem::path& resolved, Handle& handle);

// The folder an output lies in, held from the check to the commit: every
// name the writer creates, links or renames there is taken in this folder,
// whatever its path leads to meanwhile. On Linux it is reached a name at a
// time, so no path length stops it.
class Folder {
public:
  Folder() = default;
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;

  // The reason it cannot be opened, or "".
  std::string open(const std::filesystem::path& path);
  const std::filesystem::path& path() const { return path_; }
  // The path of `name` in it, for messages and the signal handler.
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
  // Whether anyone may create names in it that only their owner may
  // remove (sticky, and writable by others); never on Windows.
  bool shared() const { return shared_; }
#if !defined(_WIN32)
  int descriptor() const { return descriptor_; }
#endif

private:
  std::filesystem::path path_;
  bool shared_ = false;
#if !defined(_WIN32)
  int descriptor_ = -1;
#endif
};

#if !defined(_WIN32)
// A folder mode anyone may create names under that only their owners may
// remove: sticky, and writable by others than its owner.
inline bool sharedFolderMode(unsigned mode) {
  return (mode & 0170000) == 0040000 && (mode & 01000) != 0 && (mode & 0022) != 0;
}
#endif

// What a name in a folder holds, not through a link.
struct Entry {
  bool exists = false;
  bool regular = false;
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  unsigned owner = 0;
  unsigned group = 0;
  unsigned mode = 0;
  // Why it could not be asked (not "it does not exist"), or "".
  std::string problem;
  bool sameFile(const Entry& other) const {
    return exists && other.exists && device == other.device && file == other.file;
  }
};
Entry look(const Folder& folder, const std::filesystem::path& name);

struct Created {
  Handle handle;
  std::string problem;
  bool taken = false;  // the name exists: try another
};
// Creates `name` for writing, exclusively and never through a link,
// readable by the effective user alone.
Created createNew(const Folder& folder, const std::filesystem::path& name);

// Gives a written file its final owner (where permitted), then its final
// mode: those of `model` when it is a regular file, else a new file's under
// the process's umask.
std::string settleOwnerAndMode(Handle handle, const Entry& model);

// Reads the umask while the process is still one thread: reading it means
// setting it for a moment.
void rememberCreationMask();

// Renames `from` over `to`, replacing it in one step. Two names of one file
// are refused, as the rename would leave both.
std::string replace(const Folder& folder, const std::filesystem::path& from, const std::filesystem::path& to);

// Commits a folder's entries to the disk, where the file system can.
void syncFolder(const Folder& folder);

// Why the output `given` lies in, or leads through, what another user
// controls: a name in a sticky folder others may write (/tmp) that belongs
// neither to the effective user nor to the folder's owner, be it a link
// followed on the way, a folder on the way or the file itself. A name that
// cannot be looked at is a reason too; only a last name that does not exist
// yet passes. "" if none.
std::string sharedFolderProblem(const std::filesystem::path& given);

struct Linked {
  std::string problem;
  bool taken = false;
};
// A second name for an existing file; refused where links are (another
// user's file under fs.protected_hardlinks, a file system without them).
Linked hardLink(const Folder& folder, const std::filesystem::path& existing, const std::filesystem::path& name);
// Renames `from` to `to` only if `to` does not exist: `taken` when it does.
Linked renameNoReplace(const Folder& folder, const std::filesystem::path& from, const std::filesystem::path& to);

// Whether it could be removed (or was not there).
bool remove(const Folder& folder, const std::filesystem::path& name);

}  // namespace native
}  // namespace ddhost
