#include <ddhost/FileIdentity.h>

#if defined(_WIN32)
#  include <io.h>
#  include <windows.h>
#else
#  include <sys/stat.h>
#endif

namespace ddhost {

#if defined(_WIN32)

namespace {

std::optional<FileIdentity> identityOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) {
    return std::nullopt;
  }
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

std::optional<FileIdentity> identityOf(const std::filesystem::path& path) {
  // Opened for no access at all: only asked what it is.
  const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  const std::optional<FileIdentity> identity = identityOfHandle(handle);
  CloseHandle(handle);
  return identity;
}

std::optional<FileIdentity> identityOf(std::FILE* stream) {
  return identityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
}

#else

std::optional<FileIdentity> identityOf(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return std::nullopt;
  }
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

std::optional<FileIdentity> identityOf(std::FILE* stream) {
  struct stat status {};
  if (fstat(fileno(stream), &status) != 0) {
    return std::nullopt;
  }
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

#endif

}  // namespace ddhost
