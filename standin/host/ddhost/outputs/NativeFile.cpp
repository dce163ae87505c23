#include "NativeFile.h"

#include <ddhost/OutputPath.h>
#include <ddhost/StandardDescriptors.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>
#include <utility>

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
// The system's words for a descriptor limit name no remedy; these say what ran out.
std::string systemMessage(int error) {
  if (error == EMFILE || error == ENFILE) {
    return "no more files could be opened (" + std::generic_category().message(error) + ")";
  }
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

namespace {

fs::path within(const Folder& folder, const fs::path& name) {
  return folder / name;
}

}  // namespace

Folder::~Folder() = default;
Folder::Folder(Folder&& other) noexcept = default;
Folder& Folder::operator=(Folder&& other) noexcept = default;

// Windows has no folder whose names only their owners may remove; the
// folder's access list was checked by inspect().
std::string Folder::open(const fs::path& path) {
  path_ = path;
  return {};
}

Entry look(const Folder& folder, const fs::path& name) {
  Entry entry;
  const HANDLE probe = CreateFileW(within(folder, name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      entry.problem = systemMessage(error);
    }
    return entry;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(probe, &info)) {
    entry.exists = true;
    entry.regular = GetFileType(probe) == FILE_TYPE_DISK &&
                    (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    entry.device = info.dwVolumeSerialNumber;
    entry.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  } else {
    entry.problem = lastError();
  }
  CloseHandle(probe);
  return entry;
}

Created createNew(const Folder& folder, const fs::path& name) {
  // Delete sharing lets the Ctrl-C handler remove it while it is open; it
  // stays open, complete, until it is put in place, and may be read
  // meanwhile by whoever its folder's access list lets.
  const HANDLE file = CreateFileW(within(folder, name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    return Created{file, {}, false};
  }
  const DWORD error = GetLastError();
  return Created{file, systemMessage(error), error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS};
}

// A new file takes its folder's access list, as the replaced one did.
std::string settleOwnerAndMode(Handle, const Entry&) {
  return {};
}

void rememberCreationMask() {}

std::string replace(const Folder& folder, const fs::path& from, const fs::path& to) {
  return MoveFileExW(within(folder, from).c_str(), within(folder, to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? std::string()
             : lastError();
}

// MOVEFILE_WRITE_THROUGH already waited for the rename to reach the disk.
void syncFolder(const Folder&) {}

Linked hardLink(const Folder& folder, const fs::path& existing, const fs::path& name) {
  if (CreateHardLinkW(within(folder, name).c_str(), within(folder, existing).c_str(), nullptr)) {
    return {};
  }
  const DWORD error = GetLastError();
  return Linked{systemMessage(error), error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS};
}

Linked renameNoReplace(const Folder& folder, const fs::path& from, const fs::path& to) {
  if (MoveFileExW(within(folder, from).c_str(), within(folder, to).c_str(), MOVEFILE_WRITE_THROUGH)) {
    return {};
  }
  const DWORD error = GetLastError();
  return Linked{systemMessage(error), error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS};
}

bool remove(const Folder& folder, const fs::path& name) {
  return DeleteFileW(within(folder, name).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
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

Folder::~Folder() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
}

Folder::Folder(Folder&& other) noexcept
    : path_(std::move(other.path_)), shared_(other.shared_), descriptor_(other.descriptor_) {
  other.descriptor_ = -1;
}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
    path_ = std::move(other.path_);
    shared_ = other.shared_;
    descriptor_ = other.descriptor_;
    other.descriptor_ = -1;
  }
  return *this;
}

std::string Folder::open(const fs::path& path) {
  path_ = path;
  // A name at a time, each within the last: no path is too long for this.
  int current = ::open(path.is_absolute() ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (const fs::path& name : path.relative_path()) {
    if (current < 0) {
      break;
    }
    if (name.empty()) {
      continue;
    }
    const int next = openat(current, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int error = errno;
    ::close(current);
    current = next;
    errno = error;
  }
  if (current < 0) {
    return "its folder " + (path.empty() ? std::string(".") : path.string()) + " cannot be opened: " + lastError();
  }
  struct stat status {};
  if (fstat(current, &status) != 0) {
    const std::string reason = lastError();
    ::close(current);
    return "its folder cannot be looked at: " + reason;
  }
  descriptor_ = current;
  shared_ = sharedFolderMode(status.st_mode);
  return {};
}

Entry look(const Folder& folder, const fs::path& name) {
  Entry entry;
  struct stat status {};
  if (fstatat(folder.descriptor(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) {
      entry.problem = lastError();
    }
    return entry;
  }
  entry.exists = true;
  entry.regular = S_ISREG(status.st_mode);
  entry.device = static_cast<std::uint64_t>(status.st_dev);
  entry.file = static_cast<std::uint64_t>(status.st_ino);
  entry.owner = status.st_uid;
  entry.group = status.st_gid;
  entry.mode = status.st_mode & 07777;
  return entry;
}

Created createNew(const Folder& folder, const fs::path& name) {
  // Exclusive and not through a link: a name planted in advance fails
  // here instead of redirecting the output.
  // Mode 0600 whatever the umask: the content is nobody else's until it is
  // complete and in place.
  const int descriptor =
      openat(folder.descriptor(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
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

std::string settleOwnerAndMode(Handle handle, const Entry& model) {
  const bool replaces = model.exists && model.regular;
  // The owner first: changing it clears set-id bits of the mode.
  if (replaces && (model.owner != geteuid() || model.group != getegid()) &&
      fchown(handle, model.owner, model.group) != 0 && fchown(handle, static_cast<uid_t>(-1), model.group) != 0) {
    // Not permitted to this user: the file becomes the user's own.
  }
  const mode_t mode = replaces ? static_cast<mode_t>(model.mode) : 0666 & ~creationMask();
  return fchmod(handle, mode) == 0 ? std::string() : lastError();
}

std::string replace(const Folder& folder, const fs::path& from, const fs::path& to) {
  // rename() between two names of one file succeeds and does nothing.
  if (look(folder, from).sameFile(look(folder, to))) {
    return (folder / from).string() + " and " + (folder / to).string() + " are names of one file";
  }
  return renameat(folder.descriptor(), from.c_str(), folder.descriptor(), to.c_str()) == 0 ? std::string()
                                                                                           : lastError();
}

void syncFolder(const Folder& folder) {
  const int descriptor = openat(folder.descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0) {
    // Some file systems refuse; the rename stands either way.
    fsync(descriptor);
    ::close(descriptor);
  }
}

Linked hardLink(const Folder& folder, const fs::path& existing, const fs::path& name) {
  if (linkat(folder.descriptor(), existing.c_str(), folder.descriptor(), name.c_str(), 0) == 0) {
    return {};
  }
  const int error = errno;
  return Linked{systemMessage(error), error == EEXIST};
}

Linked renameNoReplace(const Folder& folder, const fs::path& from, const fs::path& to) {
#  if defined(SYS_renameat2)
  constexpr unsigned kNoReplace = 1;  // RENAME_NOREPLACE
  if (syscall(SYS_renameat2, folder.descriptor(), from.c_str(), folder.descriptor(), to.c_str(), kNoReplace) == 0) {
    return {};
  }
  const int error = errno;
  if (error != EINVAL && error != ENOSYS) {
    return Linked{systemMessage(error), error == EEXIST};
  }
#  endif
  // Where the file system cannot rename without replacing: a link never
  // replaces either.
  const Linked linked = hardLink(folder, from, to);
  if (linked.problem.empty()) {
    unlinkat(folder.descriptor(), from.c_str(), 0);
  }
  return linked;
}

bool remove(const Folder& folder, const fs::path& name) {
  return unlinkat(folder.descriptor(), name.c_str(), 0) == 0 || errno == ENOENT;
}

#endif

}  // namespace native
}  // namespace ddhost
