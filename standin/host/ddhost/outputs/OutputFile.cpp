#include <ddhost/OutputFile.h>

#include "NativeFile.h"
#include "WriteBuffer.h"

#include <ddhost/InterruptCleanup.h>

#include <stdexcept>
#include <system_error>

namespace ddhost {

namespace fs = std::filesystem;

namespace {

// Tries for a free unguessable name beside `resolved`; `attempt` gives the
// reason it failed, or "" once done, and sets `taken` to try another name.
template <typename Attempt>
std::string withFreeName(const fs::path& resolved, const char* marker, fs::path& name, Attempt attempt) {
  for (int tries = 0;; ++tries) {
    name = besideName(resolved, marker);
    bool taken = false;
    const std::string reason = attempt(name, taken);
    if (reason.empty()) {
      return {};
    }
    if (!taken || tries == 16) {
      name.clear();
      return reason;
    }
  }
}

}  // namespace

OutputFile::OutputFile(const fs::path& target) : target_(target), resolved_(resolveOutputPath(target)) {
  const native::Target found = native::inspect(resolved_);
  if (!found.problem.empty()) {
    fail(found.problem);
  }
  replaces_ = found.kind != native::Kind::Special;
  if (replaces_) {
    // The longest name the writer gives a file beside the target: the old
    // file's backup, or the temporary where there is no old file.
    const bool backedUp = found.kind == native::Kind::Regular;
    const std::size_t length = native::pathLength(besideName(resolved_, backedUp ? kBackupMarker : kTemporaryMarker));
    if (length > native::longestPath()) {
      fail(std::string("its ") + (backedUp ? "backup" : "temporary") + " name beside it would be " +
           std::to_string(length) + " characters long, over the system's limit of " +
           std::to_string(native::longestPath()));
    }
  }
}

OutputFile::~OutputFile() {
  // A backup that could not be put back is all that is left of the old
  // file: it stays.
  if (committed_ && !undone_) {
    keep();
  }
  discard();
}

[[noreturn]] void OutputFile::fail(const std::string& reason) const {
  throw std::runtime_error("cannot write " + target_.string() + ": " + reason);
}

WriteBuffer& OutputFile::open() {
  if (sink_) {
    return *sink_;
  }
  if (committed_) {
    fail("the file is closed");
  }
  if (!replaces_) {
    native::Handle handle = native::noHandle();
    const std::string reason = native::openSpecial(resolved_, handle);
    if (!reason.empty()) {
      fail(reason);
    }
    sink_ = std::make_unique<WriteBuffer>(handle);
    return *sink_;
  }
  native::Handle handle = native::noHandle();
  const std::string reason = withFreeName(resolved_, kTemporaryMarker, temporary_, [&](const fs::path& name, bool& taken) {
    // Held, so that the file never exists unremembered.
    const InterruptsHeld held;
    const native::Created created = native::createNew(name);
    taken = created.taken;
    if (created.problem.empty()) {
      handle = created.handle;
      cleanupSlot_ = rememberTemporary(name);
    }
    return created.problem;
  });
  if (!reason.empty()) {
    fail(reason);
  }
  sink_ = std::make_unique<WriteBuffer>(handle);
  const std::string copied = native::copyOwnerAndMode(handle, resolved_);
  if (!copied.empty()) {
    discard();
    fail(copied);
  }
  return *sink_;
}

void OutputFile::discard() {
  stream_.reset();
  sink_.reset();
  if (!temporary_.empty() && !committed_) {
    native::remove(temporary_);
    temporary_.clear();
  }
  forgetTemporary(cleanupSlot_);
  cleanupSlot_ = -1;
}

std::ostream& OutputFile::stream() {
  if (!stream_) {
    stream_ = std::make_unique<std::ostream>(&open());
  }
  return *stream_;
}

void OutputFile::write(const void* data, std::size_t size) {
  WriteBuffer& sink = open();
  const auto n = static_cast<std::streamsize>(size);
  if (sink.handle() == native::noHandle() || sink.sputn(static_cast<const char*>(data), n) != n) {
    fail(!sink.error().empty() ? sink.error() : "the file is closed");
  }
}

void OutputFile::finish() {
  if (committed_) {
    return;
  }
  // An output nothing was written to is still an (empty) output.
  WriteBuffer& sink = open();
  if (sink.handle() == native::noHandle()) {
    if (!sink.error().empty()) {
      fail(sink.error());
    }
    return;
  }
  if (!sink.drain()) {
    fail(sink.error());
  }
  // Devices and pipes have nothing to sync (and refuse to).
  if (replaces_) {
    const std::string reason = native::syncToDisk(sink.handle());
    if (!reason.empty()) {
      fail(reason);
    }
  }
  const std::string reason = sink.close();
  if (!reason.empty()) {
    fail(reason);
  }
}

void OutputFile::commit() {
  finish();
  if (!replaces_ || committed_) {
    return;
  }
  std::error_code error;
  existed_ = fs::is_regular_file(resolved_, error);
  if (existed_) {
    // A second name for the old file, so that it can be put back.
    std::string reason = withFreeName(resolved_, kBackupMarker, backup_, [&](const fs::path& name, bool& taken) {
      const native::Linked linked = native::hardLink(resolved_, name);
      taken = linked.taken;
      return linked.problem;
    });
    if (!reason.empty()) {
      // Links refused (another user's file under fs.protected_hardlinks, a
      // file system without them): the old file itself is moved aside, and
      // is for a moment not under its own name.
      reason = withFreeName(resolved_, kBackupMarker, backup_, [&](const fs::path& name, bool& taken) {
        const native::Linked moved = native::moveAside(resolved_, name);
        taken = moved.taken;
        return moved.problem;
      });
      if (!reason.empty()) {
        fail("cannot keep the old file while the new one is put in place: " + reason);
      }
    }
  }
  const std::string reason = native::replace(temporary_, resolved_);
  if (!reason.empty()) {
    if (!backup_.empty() && native::replace(backup_, resolved_).empty()) {
      backup_.clear();
    }
    fail(reason + (backup_.empty() ? std::string() : "; the old file is at " + backup_.string()));
  }
  committed_ = true;
  temporary_.clear();
  forgetTemporary(cleanupSlot_);
  cleanupSlot_ = -1;
}

void OutputFile::keep() {
  if (!backup_.empty()) {
    native::remove(backup_);
    backup_.clear();
  }
}

std::string OutputFile::undo() {
  if (!committed_) {
    return {};
  }
  undone_ = true;
  std::string reason;
  if (!backup_.empty()) {
    reason = native::replace(backup_, resolved_);
    if (reason.empty()) {
      backup_.clear();
    }
  } else if (!existed_ && !native::remove(resolved_)) {
    reason = "the new file could not be removed";
  }
  if (reason.empty()) {
    committed_ = false;
  }
  return reason;
}

}  // namespace ddhost
