// The operating system's side of writing an output, and all of it: every
// difference between the platforms the output writer meets is here.
// Each call returns the reason it failed, or "" on success.
#pragma once

#include <cstddef>
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

struct Created {
  Handle handle;
  std::string problem;
  bool taken = false;  // the name exists: try another
};
// Creates `path` for writing, exclusively and never through a link,
// readable by the effective user alone.
Created createNew(const std::filesystem::path& path);

// Gives a written file its final owner (where permitted), then its final
// mode: those of `model` when it is a regular file, else a new file's under
// the process's umask.
std::string settleOwnerAndMode(Handle handle, const std::filesystem::path& model);

// Reads the umask while the process is still one thread: reading it means
// setting it for a moment.
void rememberCreationMask();

// Renames `from` over `to`, replacing it in one step. Two names of one file
// are refused, as the rename would leave both.
std::string replace(const std::filesystem::path& from, const std::filesystem::path& to);

// Commits a folder's entries to the disk, where the file system can.
void syncFolder(const std::filesystem::path& folder);

// Why the output `given` lies in, or leads through, what another user
// controls: a name in a sticky folder others may write (/tmp) that belongs
// neither to the effective user nor to the folder's owner, be it a link
// followed on the way, a folder on the way or the file itself. "" if none.
std::string sharedFolderProblem(const std::filesystem::path& given);

struct Linked {
  std::string problem;
  bool taken = false;
};
// A second name for an existing file; refused where links are (another
// user's file under fs.protected_hardlinks, a file system without them).
Linked hardLink(const std::filesystem::path& existing, const std::filesystem::path& name);
// Renames `from` to `to` only if `to` does not exist.
Linked moveAside(const std::filesystem::path& from, const std::filesystem::path& to);

// Whether it could be removed (or was not there).
bool remove(const std::filesystem::path& path);

}  // namespace native
}  // namespace ddhost
