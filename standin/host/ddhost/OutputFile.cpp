#include "OutputFile.h"

#include "InterruptCleanup.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <stdexcept>
#include <streambuf>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace ddhost {

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;

std::string systemMessage(DWORD error) {
  return std::system_category().message(static_cast<int>(error));
}
#else
using Handle = int;
constexpr Handle kNoHandle = -1;

std::string systemMessage(int error) {
  return std::generic_category().message(error);
}
#endif

// Each returns the reason of a failure, or "" on success.
std::string writeAll(Handle handle, const char* data, std::size_t size) {
  while (size > 0) {
#if defined(_WIN32)
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr)) {
      return systemMessage(GetLastError());
    }
#else
    const ssize_t written = ::write(handle, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return systemMessage(errno);
    }
#endif
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return {};
}

std::string syncToDisk(Handle handle) {
#if defined(_WIN32)
  return FlushFileBuffers(handle) ? std::string() : systemMessage(GetLastError());
#else
  return fsync(handle) == 0 ? std::string() : systemMessage(errno);
#endif
}

std::string closeHandle(Handle handle) {
#if defined(_WIN32)
  return CloseHandle(handle) ? std::string() : systemMessage(GetLastError());
#else
  // Linux has closed the descriptor even when close reports EINTR.
  return ::close(handle) == 0 || errno == EINTR ? std::string() : systemMessage(errno);
#endif
}

// Long enough that nobody can guess it before the file exists.
fs::path::string_type randomTag() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device entropy;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  fs::path::string_type tag;
  for (int k = 0; k < 16; ++k) {
    tag += static_cast<fs::path::value_type>(kLetters[pick(entropy)]);
  }
  return tag;
}

// ".NAME.ddhost-XXXX…" beside the target; NAME is cut short so the whole
// name stays within the file systems' 255-character limit.
fs::path temporaryName(const fs::path& resolved) {
  fs::path::string_type name = resolved.filename().native();
  name.resize(std::min<std::size_t>(name.size(), 200));
  const fs::path::string_type marker = fs::path(kTemporaryMarker).native();
  return resolved.parent_path() / (fs::path::string_type(1, '.') + name + marker + randomTag());
}

#if !defined(_WIN32)
// /dev/stdout and its kin name a descriptor the process already has: it is
// shared rather than reopened, which would lose its append mode or offset.
std::optional<int> inheritedDescriptor(const fs::path& target) {
  const std::string text = target.string();
  if (text == "/dev/stdout") {
    return 1;
  }
  if (text == "/dev/stderr") {
    return 2;
  }
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::size_t length = std::strlen(prefix);
    if (text.size() > length && text.size() <= length + 9 && text.compare(0, length, prefix) == 0 &&
        std::all_of(text.begin() + static_cast<std::ptrdiff_t>(length), text.end(),
                    [](unsigned char c) { return std::isdigit(c) != 0; })) {
      return std::stoi(text.substr(length));
    }
  }
  return std::nullopt;
}
#endif

}  // namespace

// Buffers the writes and keeps the first failure's reason; after one,
// nothing more is written.
class OutputFile::Sink : public std::streambuf {
public:
  explicit Sink(Handle handle) : handle_(handle), buffer_(1u << 16) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  ~Sink() override { close(); }
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  const std::string& error() const { return error_; }
  Handle handle() const { return handle_; }

  bool drain() {
    if (error_.empty() && pptr() != pbase()) {
      error_ = writeAll(handle_, pbase(), static_cast<std::size_t>(pptr() - pbase()));
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return error_.empty();
  }

  // The reason the handle could not be closed cleanly, or "".
  std::string close() {
    if (handle_ == kNoHandle) {
      return {};
    }
    std::string reason = closeHandle(handle_);
    handle_ = kNoHandle;
    return reason;
  }

protected:
  int_type overflow(int_type c) override {
    if (!drain()) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  std::streamsize xsputn(const char* data, std::streamsize size) override {
    const auto n = static_cast<std::size_t>(size);
    if (n <= static_cast<std::size_t>(epptr() - pptr())) {
      std::memcpy(pptr(), data, n);
      pbump(static_cast<int>(n));
      return size;
    }
    if (!drain()) {
      return 0;
    }
    if (n < buffer_.size()) {
      std::memcpy(pptr(), data, n);
      pbump(static_cast<int>(n));
      return size;
    }
    error_ = writeAll(handle_, data, n);
    return error_.empty() ? size : 0;
  }

  int sync() override { return drain() ? 0 : -1; }

private:
  Handle handle_;
  std::vector<char> buffer_;
  std::string error_;
};

fs::path resolveOutputPath(const fs::path& given) {
  fs::path path = given;
  for (int hops = 0;; ++hops) {
    std::error_code error;
#if !defined(_WIN32)
    // Behind these are the kernel's own links, to pipes as well as files.
    if (inheritedDescriptor(path)) {
      return path;
    }
#endif
    if (!fs::is_symlink(path, error)) {
      return path;
    }
    if (hops == 40) {
      throw std::runtime_error("cannot write " + given.string() + ": too many levels of symbolic links");
    }
    const fs::path link = fs::read_symlink(path, error);
    if (error) {
      throw std::runtime_error("cannot write " + given.string() + ": " + error.message());
    }
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
}

namespace {

// Where a path would be, for paths that do not both exist.
fs::path::string_type comparable(const fs::path& path) {
  std::error_code error;
  fs::path full = fs::weakly_canonical(fs::absolute(path, error), error);
  if (error) {
    full = fs::absolute(path, error).lexically_normal();
  }
  fs::path::string_type text = full.native();
#if defined(_WIN32)
  // Windows file names ignore case.
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
#endif
  return text;
}

}  // namespace

bool sameOutputFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::exists(a, error) && fs::exists(b, error)) {
    const bool same = fs::equivalent(a, b, error);
    if (!error) {
      return same;
    }
  }
  return comparable(a) == comparable(b);
}

[[noreturn]] void OutputFile::fail(const std::string& reason) const {
  throw std::runtime_error("cannot write " + target_.string() + ": " + reason);
}

#if defined(_WIN32)

OutputFile::OutputFile(const fs::path& target) : target_(target), resolved_(resolveOutputPath(target)) {
  // Asks what is there without opening it for writing: a file about to be
  // replaced must not be touched.
  const HANDLE probe = CreateFileW(resolved_.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(probe);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = type == FILE_TYPE_DISK && GetFileInformationByHandle(probe, &info);
    CloseHandle(probe);
    if (type != FILE_TYPE_DISK) {
      const HANDLE device = CreateFileW(resolved_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
      if (device == INVALID_HANDLE_VALUE) {
        fail(systemMessage(GetLastError()));
      }
      sink_ = std::make_unique<Sink>(device);
      return;
    }
    if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      fail("it is a folder");
    }
    // Windows refuses to replace it at the end; say so before any work.
    if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
      fail("it is read-only");
    }
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    fail(systemMessage(GetLastError()));
  }

  for (int attempt = 0;; ++attempt) {
    temporary_ = temporaryName(resolved_);
    const InterruptsHeld held;
    // Delete sharing lets the Ctrl-C handler remove it while it is open.
    const HANDLE file = CreateFileW(temporary_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      sink_ = std::make_unique<Sink>(file);
      cleanupSlot_ = rememberTemporary(temporary_);
      return;
    }
    const DWORD error = GetLastError();
    temporary_.clear();
    if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 16) {
      fail(systemMessage(error));
    }
  }
}

#else

OutputFile::OutputFile(const fs::path& target) : target_(target), resolved_(resolveOutputPath(target)) {
  if (const std::optional<int> inherited = inheritedDescriptor(resolved_)) {
    const int descriptor = fcntl(*inherited, F_DUPFD_CLOEXEC, 3);
    if (descriptor < 0) {
      fail(systemMessage(errno));
    }
    sink_ = std::make_unique<Sink>(descriptor);
    return;
  }

  struct stat existing {};
  const bool exists = ::stat(resolved_.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) {
    fail(systemMessage(errno));
  }
  if (exists && S_ISDIR(existing.st_mode)) {
    fail("it is a folder");
  }
  if (exists && !S_ISREG(existing.st_mode)) {
    // A FIFO waits here for its reader, as a shell redirection would.
    const int descriptor = ::open(resolved_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
      fail(systemMessage(errno));
    }
    sink_ = std::make_unique<Sink>(descriptor);
    return;
  }

  int descriptor = -1;
  for (int attempt = 0;; ++attempt) {
    temporary_ = temporaryName(resolved_);
    const InterruptsHeld held;
    // Exclusive and not through a link: a name planted in advance fails
    // here instead of redirecting the output.
    descriptor = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      cleanupSlot_ = rememberTemporary(temporary_);
      break;
    }
    const int error = errno;
    temporary_.clear();
    if (error != EEXIST || attempt == 16) {
      fail(systemMessage(error));
    }
  }
  sink_ = std::make_unique<Sink>(descriptor);
  if (exists) {
    // The owner first: changing it may clear set-id bits of the mode.
    if ((existing.st_uid != geteuid() || existing.st_gid != getegid()) &&
        fchown(descriptor, existing.st_uid, existing.st_gid) != 0 &&
        fchown(descriptor, static_cast<uid_t>(-1), existing.st_gid) != 0) {
      // Not permitted to this user: the file becomes the user's own.
    }
    if (fchmod(descriptor, existing.st_mode & 07777) != 0) {
      const int error = errno;
      discard();
      fail(systemMessage(error));
    }
  }
}

#endif

OutputFile::~OutputFile() {
  discard();
}

void OutputFile::discard() {
  stream_.reset();
  sink_.reset();
  if (!temporary_.empty() && !committed_) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
  forgetTemporary(cleanupSlot_);
  cleanupSlot_ = -1;
}

std::ostream& OutputFile::stream() {
  if (!stream_) {
    stream_ = std::make_unique<std::ostream>(sink_.get());
  }
  return *stream_;
}

void OutputFile::write(const void* data, std::size_t size) {
  const auto n = static_cast<std::streamsize>(size);
  if (!sink_ || sink_->sputn(static_cast<const char*>(data), n) != n) {
    fail(sink_ && !sink_->error().empty() ? sink_->error() : "the file is closed");
  }
}

void OutputFile::finish() {
  if (!sink_ || sink_->handle() == kNoHandle) {
    return;
  }
  if (!sink_->drain()) {
    fail(sink_->error());
  }
  // Devices and pipes have nothing to sync (and refuse to).
  if (!temporary_.empty()) {
    const std::string reason = syncToDisk(sink_->handle());
    if (!reason.empty()) {
      fail(reason);
    }
  }
  const std::string reason = sink_->close();
  if (!reason.empty()) {
    fail(reason);
  }
}

void OutputFile::commit() {
  finish();
  if (temporary_.empty() || committed_) {
    return;
  }
#if defined(_WIN32)
  if (!MoveFileExW(temporary_.c_str(), resolved_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    fail(systemMessage(GetLastError()));
  }
#else
  if (std::rename(temporary_.c_str(), resolved_.c_str()) != 0) {
    fail(systemMessage(errno));
  }
#endif
  committed_ = true;
  forgetTemporary(cleanupSlot_);
  cleanupSlot_ = -1;
}

}  // namespace ddhost
