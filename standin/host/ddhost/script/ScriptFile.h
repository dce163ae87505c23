// The script, opened once and read from that one open file to its end: a
// FIFO, a pipe or a file renamed over while it is read all work, and what
// is built is what was opened.
#pragma once

#include <ddhost/FileIdentity.h>

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

namespace ddhost {

class ScriptFile {
public:
  // `path` "-" is standard input. Throws std::runtime_error
  // ("cannot read PATH: reason").
  explicit ScriptFile(const std::string& path);
  ~ScriptFile();
  ScriptFile(const ScriptFile&) = delete;
  ScriptFile& operator=(const ScriptFile&) = delete;

  // Up to `size` bytes; 0 at the end. Throws std::runtime_error.
  std::size_t read(char* into, std::size_t size);

  // The file that was opened, so that no output replaces it or writes into
  // it; none for anything but a regular file or a FIFO (a device or a
  // socket may well be an output too).
  const std::optional<FileIdentity>& identity() const { return identity_; }

private:
  std::string path_;
  std::FILE* file_ = nullptr;
  bool owned_ = false;
  std::optional<FileIdentity> identity_;
};

}  // namespace ddhost
