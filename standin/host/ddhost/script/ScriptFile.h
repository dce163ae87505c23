// The script, opened once and read from that one open file to its end: a
// FIFO, a pipe or a file renamed over while it is read all work, and what
// is built is what was opened.
#pragma once

#include <ddhost/FileIdentity.h>

#include <cstddef>
#include <cstdint>
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

  // Throws std::runtime_error ("NAME changed while it was read") when a
  // regular file's size, modification time or change time is no longer
  // what it was when opened: a rewrite in place may have mixed two
  // versions. A same-size rewrite within one tick of the file system's
  // clock goes unseen, and so does one whose times were put back while a
  // name was also taken from the file or given to it.
  void checkUnchanged() const;

private:
  // What tells one version of a regular file from another.
  struct Stamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // in the platform's own units
    std::int64_t changed = 0;
    std::uint64_t links = 0;
    // A name taken from the file (a rename over it, a removal) or given
    // to it changes its change time, not its content: the change time
    // counts only while its names are as they were.
    bool sameVersion(const Stamp& other) const {
      return size == other.size && modified == other.modified && (changed == other.changed || links != other.links);
    }
  };
  std::optional<Stamp> stamp() const;
  // As messages name the script.
  std::string name() const;

  std::string path_;
  std::FILE* file_ = nullptr;
  bool owned_ = false;
  std::optional<FileIdentity> identity_;
  std::optional<Stamp> opened_;
};

}  // namespace ddhost
