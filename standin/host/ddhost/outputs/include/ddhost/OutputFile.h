// Writing a file the user named without ever destroying what was there
// before the run succeeded.
#pragma once

#include <ddhost/OutputPath.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace ddhost {

class WriteBuffer;
namespace native {
class Folder;
struct Entry;
}  // namespace native

// One output file. A regular file, or a path that does not exist yet, is
// written into a temporary file beside it, created exclusively under an
// unpredictable name when the first byte is written (not before), and
// renamed over the target only by commit(): until then the target is
// untouched, and the temporary is removed on destruction, at exit() or when
// a signal ends the process. The temporary is readable by its creator
// alone until it is complete; then it takes the replaced file's owner
// (where the process may set it) and mode, or a new file's mode under the
// umask. Anything else that exists (a device, a FIFO, NUL) is written into
// directly, as any command-line tool does, and keeps its kind. Nothing is
// written into or through a name that another user controls in a shared
// sticky folder (/tmp), and what was found there at the check must still be
// there at the commit: a name that was free is taken by a rename that never
// replaces, and a file must be the same file when it is put aside.
class OutputFile {
public:
  // The random part of the writer's own names beside the target.
  using TagSource = std::function<std::filesystem::path::string_type()>;

  // Checks that the output can be written, touching nothing; throws
  // std::runtime_error ("cannot write TARGET: reason"). `tags` replaces the
  // random tags, for tests that plant names where the writer will look.
  explicit OutputFile(const std::filesystem::path& target, TagSource tags = {});
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // As the user named it, for messages.
  const std::filesystem::path& target() const { return target_; }
  // The file it leads to.
  const std::filesystem::path& resolved() const { return resolved_; }
  // False for a special file, which is written in place.
  bool replacesTarget() const { return replaces_; }
  // Empty until writing has started.
  const std::filesystem::path& temporaryPath() const { return temporary_; }

  // Buffered; a write error is kept and reported by finish(), or at once by
  // write(). Meant for one writer at a time: the stream or write().
  std::ostream& stream();
  void write(const void* data, std::size_t size);

  // Flushes everything to the disk (and closes a special file); throws
  // std::runtime_error.
  void finish();
  // Finishes, gives the temporary its final owner and mode, closes it and
  // puts it in place of the target (nothing to do for a special file),
  // keeping the old file under a backup name until keep() or undo().
  // Throws std::runtime_error, the target as it was.
  void commit();
  // Drops the backup: the new file stays.
  void keep();
  // Puts the old file back (or removes the new one where there was none).
  // The reason it could not, or "".
  std::string undo();
  // Where the old file is kept between commit() and keep() or undo().
  const std::filesystem::path& backupPath() const { return backup_; }

private:
  [[noreturn]] void fail(const std::string& reason) const;
  WriteBuffer& open();
  // Closes, and removes the temporary unless it was committed.
  void discard();
  // The final owner and mode, synced; closes.
  void settle();

  std::filesystem::path beside(const char* marker) const;
  // Refuses the commit where the name no longer holds what it held at the
  // check and its folder is shared; what it holds now.
  void checkStillThere(native::Entry& now) const;
  // Puts the old file back under its name after a failed rename; the
  // reason it could not, or "".
  std::string putBackAside();

  std::filesystem::path target_;
  std::filesystem::path resolved_;
  // The last name of resolved_, in folder_, which is held from the check
  // on; what that name held at the check.
  std::filesystem::path name_;
  std::unique_ptr<native::Folder> folder_;
  std::unique_ptr<native::Entry> checked_;
  TagSource tags_;
  // The backup is a second name of the old file, which stayed in place.
  bool backupLinked_ = false;
  bool replaces_ = false;
  bool existed_ = false;
  std::filesystem::path temporary_;
  std::filesystem::path backup_;
  std::unique_ptr<WriteBuffer> sink_;
  std::unique_ptr<std::ostream> stream_;
  int cleanupSlot_ = -1;
  bool finished_ = false;
  bool committed_ = false;
  bool undone_ = false;
};

}  // namespace ddhost
