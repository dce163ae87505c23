#include "Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#  include <windows.h>
#else
#  include <unistd.h>
#endif

namespace ddhost {

namespace fs = std::filesystem;

namespace {

// Windows would otherwise turn "\n" into "\r\n" (and stop reading at ^Z):
// the RIB must be the same bytes on every platform.
void binaryMode(std::FILE* stream) {
#if defined(_WIN32)
  _setmode(_fileno(stream), _O_BINARY);
#else
  (void)stream;
#endif
}

unsigned long processId() {
#if defined(_WIN32)
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace

std::string readScriptBytes(const std::string& path) {
  if (path == "-") {
    binaryMode(stdin);
    std::string bytes;
    char buffer[65536];
    for (;;) {
      const std::size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
      bytes.append(buffer, n);
      if (n < sizeof buffer) {
        if (std::ferror(stdin)) {
          throw std::runtime_error("cannot read the script from standard input");
        }
        return bytes;
      }
    }
  }
  std::error_code error;
  if (fs::is_directory(path, error)) {
    throw std::runtime_error("cannot read " + path + ": it is a folder");
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad()) {
    throw std::runtime_error("cannot read " + path);
  }
  return bytes.str();
}

void writeStandardOutput(const std::string& bytes) {
  binaryMode(stdout);
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
    throw std::runtime_error("cannot write to standard output");
  }
}

ReplacementFile::ReplacementFile(const fs::path& target) : target_(target) {
  std::error_code error;
  if (fs::is_directory(target_, error)) {
    throw std::runtime_error("cannot write " + target_.string() + ": it is a folder");
  }
  temporary_ = target_.parent_path() /
               ("." + target_.filename().string() + ".tmp" + std::to_string(processId()));
}

ReplacementFile::~ReplacementFile() {
  if (!committed_) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
}

void ReplacementFile::commit() {
#if defined(_WIN32)
  const bool replaced = MoveFileExA(temporary_.string().c_str(), target_.string().c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  const std::string reason = replaced ? std::string() : std::system_category().message(static_cast<int>(GetLastError()));
#else
  const bool replaced = std::rename(temporary_.c_str(), target_.c_str()) == 0;
  const std::string reason = replaced ? std::string() : std::strerror(errno);
#endif
  if (!replaced) {
    throw std::runtime_error("cannot write " + target_.string() + ": " + reason);
  }
  committed_ = true;
}

}  // namespace ddhost
