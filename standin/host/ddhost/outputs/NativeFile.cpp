#include "NativeFile.h"

#include <ddhost/OutputPath.h>
#include <ddhost/StandardDescriptors.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>

#if defined(_WIN32)
#  include <windows.h>
#  include <vector>
#else
#  include <fcntl.h>
#  include <limits.h>
#  include <stdio.h>
#  include <sys/stat.h>
#  include <sys/syscall.h>
#  include <unistd.h>
#endif

namespace ddhost {
namespace native {

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
std::string systemMessage(DWORD error) {
  return std::system_category().message(static_cast<int>(error));
}
std::string lastError() {
  return systemMessage(GetLastError());
}
#else
std::string systemMessage(int error) {
  return std::generic_category().message(error);
}
std::string lastError() {
  return systemMessage(errno);
}
#endif

}  // namespace

#if defined(_WIN32)

Handle noHandle() {
  return INVALID_HANDLE_VALUE;
}

std::string writeAll(Handle handle, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr)) {
      return lastError();
    }
    data += written;
    size -= written;
  }
  return {};
}

std::string syncToDisk(Handle handle) {
  return FlushFileBuffers(handle) ? std::string() : lastError();
}

std::string closeHandle(Handle handle) {
  return CloseHandle(handle) ? std::string() : lastError();
}

namespace {

// Whether the effective user may create files in `folder`, as its access
// list says; "" when it may, or when the system cannot tell (then the
// exclusive create is what finds out).
std::string folderProblem(const fs::path& resolved) {
  const fs::path parent = resolved.parent_path();
  const fs::path folder = parent.empty() ? fs::path(L".") : parent;
  const SECURITY_INFORMATION asked = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                     DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  GetFileSecurityW(folder.c_str(), asked, nullptr, 0, &size);
  std::vector<BYTE> descriptor(size);
  HANDLE process = nullptr;
  if (size == 0 || !GetFileSecurityW(folder.c_str(), asked, descriptor.data(), size, &size) ||
      !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &process)) {
    return {};
  }
  HANDLE token = nullptr;
  const bool duplicated = DuplicateToken(process, SecurityImpersonation, &token);
  CloseHandle(process);
  if (!duplicated) {
    return {};
  }
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  DWORD wanted = FILE_ADD_FILE;
  MapGenericMask(&wanted, &mapping);
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof privileges;
  DWORD granted = 0;
  BOOL allowed = TRUE;
  const bool checked = AccessCheck(descriptor.data(), token, wanted, &mapping, &privileges, &privilegesSize,
                                   &granted, &allowed);
  CloseHandle(token);
  return checked && !allowed ? "its folder " + folder.string() + " is not writable: " + systemMessage(ERROR_ACCESS_DENIED)
                             : std::string();
}

}  // namespace

Target inspect(const fs::path& resolved) {
  Target target;
  // Asks what is there without opening it for writing: a file about to be
  // replaced must not be touched.
  const HANDLE probe = CreateFileW(resolved.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      target.problem = error == ERROR_PATH_NOT_FOUND ? "its folder does not exist" : systemMessage(error);
    } else {
      target.problem = folderProblem(resolved);
    }
    return target;
  }
  const DWORD type = GetFileType(probe);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = type == FILE_TYPE_DISK && GetFileInformationByHandle(probe, &info);
  CloseHandle(probe);
  if (type != FILE_TYPE_DISK) {
    target.kind = Kind::Special;
  } else if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    target.problem = "it is a folder";
  } else if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    target.problem = "it is read-only";
  } else {
    target.kind = Kind::Regular;
    target.problem = folderProblem(resolved);
  }
  return target;
}

std::size_t pathLength(const fs::path& path) {
  std::error_code error;
  const fs::path full = fs::absolute(path, error);
  return (error ? path : full).native().size();
}

std::size_t longestPath() {
  return MAX_PATH - 1;
}

std::string openSpecial(const fs::path& resolved, Handle& handle) {
  handle = CreateFileW(resolved.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  return handle == INVALID_HANDLE_VALUE ? lastError() : std::string();
}

Created createNew(const fs::path& path) {
  // Delete sharing lets the Ctrl-C handler remove it while it is open; it
  // stays open, complete, until it is put in place, and may be read
  // meanwhile by whoever its folder's access list lets.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    return Created{file, {}, false};
  }
  const DWORD error = GetLastError();
  return Created{file, systemMessage(error), error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS};
}

// A new file takes its folder's access list, as the replaced one did.
std::string settleOwnerAndMode(Handle, const fs::path&) {
  return {};
}

void rememberCreationMask() {}

std::string replace(const fs::path& from, const fs::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? std::string()
                                                                                                  : lastError();
}

// MOVEFILE_WRITE_THROUGH already waited for the rename to reach the disk.
void syncFolder(const fs::path&) {}

Linked hardLink(const fs::path& existing, const fs::path& name) {
  if (CreateHardLinkW(name.c_str(), existing.c_str(), nullptr)) {
    return {};
  }
  const DWORD error = GetLastError();
  return Linked{systemMessage(error), error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS};
}

Linked moveAside(const fs::path& from, const fs::path& to) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
    return {};
  }
  const DWORD error = GetLastError();
  return Linked{systemMessage(error), error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS};
}

bool remove(const fs::path& path) {
  return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

#else

Handle noHandle() {
  return -1;
}

std::string writeAll(Handle handle, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(handle, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return lastError();
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return {};
}

std::string syncToDisk(Handle handle) {
  return fsync(handle) == 0 ? std::string() : lastError();
}

std::string closeHandle(Handle handle) {
  // Linux has closed the descriptor even when close reports EINTR.
  return ::close(handle) == 0 || errno == EINTR ? std::string() : lastError();
}

namespace {

fs::path folderOf(const fs::path& resolved) {
  const fs::path parent = resolved.parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

// What creating or replacing a file in `folder` needs of the effective
// user; as root too, a read-only file system refuses.
std::string folderProblem(const fs::path& folder, const struct stat* existing) {
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? "its folder " + folder.string() + " does not exist" : lastError();
  }
  if (!S_ISDIR(status.st_mode)) {
    return folder.string() + " is not a folder";
  }
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    return "its folder " + folder.string() + " is not writable: " + lastError();
  }
  // A sticky folder (/tmp) lets only the file's owner, the folder's owner
  // or root replace a file.
  const uid_t user = geteuid();
  if (existing != nullptr && (status.st_mode & S_ISVTX) != 0 && user != 0 && existing->st_uid != user &&
      status.st_uid != user) {
    return "it belongs to another user, and its folder " + folder.string() + " lets only the owner replace it";
  }
  return {};
}

}  // namespace

Target inspect(const fs::path& resolved) {
  Target target;
  if (const std::optional<int> inherited = inheritedDescriptor(resolved)) {
    target.kind = Kind::Special;
    // Found now rather than once the scene is built. One the caller closed
    // now holds the null device, which is no output of the caller's.
    const int flags = standardDescriptorWasClosed(*inherited) ? -1 : fcntl(*inherited, F_GETFL);
    if (standardDescriptorWasClosed(*inherited)) {
      target.problem = "it is not open: " + systemMessage(EBADF);
    } else if (flags < 0) {
      target.problem = "it is not open: " + lastError();
    } else if ((flags & O_ACCMODE) == O_RDONLY) {
      target.problem = "it is open for reading only";
    }
    return target;
  }
  struct stat existing {};
  if (::stat(resolved.c_str(), &existing) != 0) {
    if (errno != ENOENT) {
      target.problem = errno == ENOTDIR ? "its folder " + folderOf(resolved).string() + " is not a folder" : lastError();
      return target;
    }
    target.problem = folderProblem(folderOf(resolved), nullptr);
    return target;
  }
  if (S_ISDIR(existing.st_mode)) {
    target.problem = "it is a folder";
  } else if (!S_ISREG(existing.st_mode)) {
    target.kind = Kind::Special;
    if (faccessat(AT_FDCWD, resolved.c_str(), W_OK, AT_EACCESS) != 0) {
      target.problem = lastError();
    }
  } else {
    target.kind = Kind::Regular;
    target.problem = folderProblem(folderOf(resolved), &existing);
  }
  return target;
}

std::size_t pathLength(const fs::path& path) {
  return path.native().size();
}

std::size_t longestPath() {
  return PATH_MAX - 1;
}

std::string openSpecial(const fs::path& resolved, Handle& handle) {
  if (const std::optional<int> inherited = inheritedDescriptor(resolved)) {
    // Shared rather than reopened, which would lose its append mode or
    // offset.
    handle = fcntl(*inherited, F_DUPFD_CLOEXEC, 3);
  } else {
    // A FIFO waits here for its reader, as a shell redirection would.
    handle = ::open(resolved.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  }
  return handle < 0 ? lastError() : std::string();
}

Created createNew(const fs::path& path) {
  // Exclusive and not through a link: a name planted in advance fails
  // here instead of redirecting the output.
  // Mode 0600 whatever the umask: the content is nobody else's until it is
  // complete and in place.
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (descriptor >= 0) {
    return Created{descriptor, {}, false};
  }
  const int error = errno;
  return Created{descriptor, systemMessage(error), error == EEXIST};
}

namespace {

mode_t creationMask() {
  static const mode_t mask = [] {
    const mode_t current = ::umask(077);
    ::umask(current);
    return current;
  }();
  return mask;
}

}  // namespace

void rememberCreationMask() {
  creationMask();
}

std::string settleOwnerAndMode(Handle handle, const fs::path& model) {
  struct stat existing {};
  // Not through a link: one planted since the checks says nothing of what
  // the file should be.
  const bool replaces = ::lstat(model.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  // The owner first: changing it clears set-id bits of the mode.
  if (replaces && (existing.st_uid != geteuid() || existing.st_gid != getegid()) &&
      fchown(handle, existing.st_uid, existing.st_gid) != 0 &&
      fchown(handle, static_cast<uid_t>(-1), existing.st_gid) != 0) {
    // Not permitted to this user: the file becomes the user's own.
  }
  const mode_t mode = replaces ? existing.st_mode & 07777 : 0666 & ~creationMask();
  return fchmod(handle, mode) == 0 ? std::string() : lastError();
}

std::string replace(const fs::path& from, const fs::path& to) {
  struct stat source {};
  struct stat target {};
  // rename() between two names of one file succeeds and does nothing.
  if (::lstat(from.c_str(), &source) == 0 && ::lstat(to.c_str(), &target) == 0 && source.st_dev == target.st_dev &&
      source.st_ino == target.st_ino) {
    return from.string() + " and " + to.string() + " are names of one file";
  }
  return ::rename(from.c_str(), to.c_str()) == 0 ? std::string() : lastError();
}

void syncFolder(const fs::path& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0) {
    // Some file systems refuse; the rename stands either way.
    fsync(descriptor);
    ::close(descriptor);
  }
}

Linked hardLink(const fs::path& existing, const fs::path& name) {
  if (::link(existing.c_str(), name.c_str()) == 0) {
    return {};
  }
  const int error = errno;
  return Linked{systemMessage(error), error == EEXIST};
}

Linked moveAside(const fs::path& from, const fs::path& to) {
#  if defined(SYS_renameat2)
  constexpr unsigned kNoReplace = 1;  // RENAME_NOREPLACE
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), kNoReplace) == 0) {
    return {};
  }
  const int error = errno;
  if (error != EINVAL && error != ENOSYS) {
    return Linked{systemMessage(error), error == EEXIST};
  }
#  endif
  // No exclusive rename here: the name is one nobody can guess.
  return ::rename(from.c_str(), to.c_str()) == 0 ? Linked{} : Linked{lastError(), false};
}

bool remove(const fs::path& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

#endif

}  // namespace native
}  // namespace ddhost
