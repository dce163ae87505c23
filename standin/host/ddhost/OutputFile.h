// Writing a file the user named without ever destroying what was there
// before the run succeeded.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

namespace ddhost {

// The file an output path leads to: symbolic links followed to their final
// target, so that it is that file which gets replaced and the link stays.
// Throws std::runtime_error on a loop of links.
std::filesystem::path resolveOutputPath(const std::filesystem::path& given);

// Whether two resolved output paths name one file (or device).
bool sameOutputFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Leftover temporaries of a run killed outright start with ".NAME" and
// carry this marker, so they can be recognised and deleted by hand.
inline constexpr const char* kTemporaryMarker = ".ddhost-";

// One output file. A regular file, or a path that does not exist yet, is
// written into a temporary file created exclusively under an unpredictable
// name beside its target, and renamed over the target only by commit(): until
// then the target is untouched, and the temporary is removed on destruction
// or when the process is interrupted. The replacement keeps the replaced
// file's mode (and owner, where the process may set it). Anything else that
// exists (a device, a FIFO, NUL) is written into directly, as any command-line
// tool does, and keeps its kind.
class OutputFile {
public:
  // Opens the output; nothing is written to the target yet. Throws
  // std::runtime_error ("cannot write TARGET: reason").
  explicit OutputFile(const std::filesystem::path& target);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // As the user named it, for messages.
  const std::filesystem::path& target() const { return target_; }
  // False for a special file, which is written in place.
  bool replacesTarget() const { return !temporary_.empty(); }
  const std::filesystem::path& temporaryPath() const { return temporary_; }

  // Buffered; a write error is kept and reported by finish(), or at once by
  // write(). Meant for one writer at a time: the stream or write().
  std::ostream& stream();
  void write(const void* data, std::size_t size);

  // Flushes everything to the disk and closes; throws std::runtime_error.
  void finish();
  // Renames the finished temporary over the target (nothing to do for a
  // special file); throws std::runtime_error.
  void commit();

  class Sink;

private:
  [[noreturn]] void fail(const std::string& reason) const;
  // Closes, and removes the temporary unless it was committed.
  void discard();

  std::filesystem::path target_;
  std::filesystem::path resolved_;
  std::filesystem::path temporary_;
  std::unique_ptr<Sink> sink_;
  std::unique_ptr<std::ostream> stream_;
  int cleanupSlot_ = -1;
  bool committed_ = false;
};

}  // namespace ddhost
