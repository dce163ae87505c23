#include "Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
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
  // Into a string of the file's size: a large scene is read without a
  // second copy.
  std::string bytes;
  const auto size = fs::file_size(path, error);
  if (!error) {
    bytes.reserve(static_cast<std::size_t>(size));
  }
  char buffer[65536];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    bytes.append(buffer, static_cast<std::size_t>(file.gcount()));
  }
  if (file.bad()) {
    throw std::runtime_error("cannot read " + path);
  }
  return bytes;
}

void readScriptPiece(const std::string& path, std::size_t begin, std::size_t end, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  bytes.resize(end - begin);
  if (!file.seekg(static_cast<std::streamoff>(begin)) ||
      !file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    throw std::runtime_error("cannot read " + path + " again: it changed while it was read");
  }
}

void writeStandardOutput(const std::string& bytes) {
  binaryMode(stdout);
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
    throw std::runtime_error("cannot write to standard output");
  }
}

}  // namespace ddhost
