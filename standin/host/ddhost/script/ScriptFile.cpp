#include "ScriptFile.h"

#include <ddhost/OutputPath.h>
#include <ddhost/StandardDescriptors.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#  include <windows.h>
#else
#  include <sys/stat.h>
#endif

namespace ddhost {

ScriptFile::ScriptFile(const std::string& path) : path_(path) {
#if !defined(_WIN32)
  // Standard input closed by the caller now reads as the null device: an
  // empty script it is not.
  const std::optional<int> inherited = path == "-" ? std::optional<int>(0) : inheritedDescriptor(path);
  if (inherited && standardDescriptorWasClosed(*inherited)) {
    throw std::runtime_error("cannot read " + name() + ": " + std::strerror(EBADF));
  }
#endif
  if (path == "-") {
#if defined(_WIN32)
    // Windows would otherwise stop reading at ^Z and drop the "\r" of
    // "\r\n", which the script's line count must see as a blank.
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    file_ = stdin;
  } else {
#if defined(_WIN32)
    file_ = _wfopen(std::filesystem::path(path).c_str(), L"rb");
#else
    file_ = std::fopen(path.c_str(), "rbe");
#endif
    const int error = errno;
    if (file_ == nullptr) {
      std::error_code ignored;
      throw std::runtime_error("cannot read " + path + ": " +
                               (std::filesystem::is_directory(path, ignored) ? std::string("it is a folder")
                                                                               : std::strerror(error)));
    }
    owned_ = true;
  }
  // A file can be overwritten, and a FIFO written into with nobody but
  // ddhost to read it; a terminal or a socket may well be standard output
  // too.
  bool regular = false;
  bool fifo = false;
#if defined(_WIN32)
  regular = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_)))) == FILE_TYPE_DISK;
#else
  struct stat status {};
  if (fstat(fileno(file_), &status) == 0 && S_ISDIR(status.st_mode)) {
    if (owned_) {
      std::fclose(file_);
    }
    throw std::runtime_error("cannot read " + (path == "-" ? std::string("standard input") : path) +
                             ": it is a folder");
  }
  regular = S_ISREG(status.st_mode);
  fifo = S_ISFIFO(status.st_mode);
#endif
  if (regular || fifo) {
    identity_ = identityOf(file_);
  }
  if (regular) {
    opened_ = stamp();
  }
}

std::string ScriptFile::name() const {
  return path_ == "-" ? std::string("the script from standard input") : path_;
}

std::optional<ScriptFile::Stamp> ScriptFile::stamp() const {
#if defined(_WIN32)
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_)));
  FILE_BASIC_INFO times{};
  FILE_STANDARD_INFO sizes{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times) ||
      !GetFileInformationByHandleEx(handle, FileStandardInfo, &sizes, sizeof sizes)) {
    return std::nullopt;
  }
  return Stamp{static_cast<std::uint64_t>(sizes.EndOfFile.QuadPart), times.LastWriteTime.QuadPart,
               times.ChangeTime.QuadPart, sizes.NumberOfLinks};
#else
  struct stat status {};
  if (fstat(fileno(file_), &status) != 0) {
    return std::nullopt;
  }
  constexpr std::int64_t kNanoseconds = 1000000000;
  return Stamp{static_cast<std::uint64_t>(status.st_size),
               static_cast<std::int64_t>(status.st_mtim.tv_sec) * kNanoseconds + status.st_mtim.tv_nsec,
               static_cast<std::int64_t>(status.st_ctim.tv_sec) * kNanoseconds + status.st_ctim.tv_nsec,
               static_cast<std::uint64_t>(status.st_nlink)};
#endif
}

void ScriptFile::checkUnchanged() const {
  if (!opened_) {
    return;
  }
  const std::optional<Stamp> now = stamp();
  if (!now || !now->sameVersion(*opened_)) {
    throw std::runtime_error(name() + " changed while it was read");
  }
}

ScriptFile::~ScriptFile() {
  if (owned_) {
    std::fclose(file_);
  }
}

std::size_t ScriptFile::read(char* into, std::size_t size) {
  const std::size_t got = std::fread(into, 1, size, file_);
  if (got == 0 && std::ferror(file_)) {
    throw std::runtime_error("cannot read " + name() + ": " + std::strerror(errno));
  }
  return got;
}

}  // namespace ddhost
