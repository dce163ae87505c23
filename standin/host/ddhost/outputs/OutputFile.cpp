#include <ddhost/OutputFile.h>

#include "NativeFile.h"
#include "WriteBuffer.h"

#include <ddhost/InterruptCleanup.h>

#include <stdexcept>
#include <system_error>
#include <utility>

namespace ddhost {

namespace fs = std::filesystem;

namespace {

// Tries for a free unguessable name from `next`; `attempt` gives the reason
// it failed, or "" once done, and sets `taken` to try another name.
template <typename Next, typename Attempt>
std::string withFreeName(Next next, fs::path& name, Attempt attempt) {
  for (int tries = 0;; ++tries) {
    name = next();
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

OutputFile::OutputFile(const fs::path& target, TagSource tags)
    : target_(target), resolved_(resolveOutputPath(target)), tags_(std::move(tags)) {
  native::rememberCreationMask();
  const std::string shared = native::sharedFolderProblem(target_);
  if (!shared.empty()) {
    fail(shared);
  }
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
    // Held from here on: every later step happens in this folder, and is
    // judged against what its name holds now.
    folder_ = std::make_unique<native::Folder>();
    const std::string problem = folder_->open(resolved_.parent_path());
    if (!problem.empty()) {
      fail(problem);
    }
    name_ = resolved_.filename();
    checked_ = std::make_unique<native::Entry>(native::look(*folder_, name_));
    if (!checked_->problem.empty()) {
      fail(checked_->problem);
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

fs::path OutputFile::beside(const char* marker) const {
  return tags_ ? besideName(resolved_, marker, tags_()) : besideName(resolved_, marker);
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
  const auto next = [this] { return beside(kTemporaryMarker); };
  const std::string reason = withFreeName(next, temporary_, [&](const fs::path& name, bool& taken) {
    // Held, so that the file never exists unremembered.
    const InterruptsHeld held;
    const native::Created created = native::createNew(*folder_, name.filename());
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
  return *sink_;
}

void OutputFile::discard() {
  stream_.reset();
  sink_.reset();
  if (!temporary_.empty() && !committed_) {
    native::remove(*folder_, temporary_.filename());
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
  if (committed_ || finished_) {
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
  // Devices and pipes have nothing to sync (and refuse to). A file stays
  // open until it is put in place.
  const std::string reason = replaces_ ? native::syncToDisk(sink.handle()) : sink.close();
  if (!reason.empty()) {
    fail(reason);
  }
  finished_ = true;
}

void OutputFile::settle() {
  if (!sink_ || sink_->handle() == native::noHandle()) {
    return;
  }
  // Only now, complete and about to be in place, may the content be
  // anyone else's.
  // Only from the file that was checked: what took its name since says
  // nothing of what the output should be.
  std::string reason = native::settleOwnerAndMode(sink_->handle(), *checked_);
  if (reason.empty()) {
    reason = native::syncToDisk(sink_->handle());
  }
  if (reason.empty()) {
    reason = sink_->close();
  }
  if (!reason.empty()) {
    fail(reason);
  }
}

void OutputFile::checkStillThere(native::Entry& now) const {
  now = native::look(*folder_, name_);
  if (!now.problem.empty()) {
    fail("cannot look at it again before it is replaced: " + now.problem);
  }
  if (!folder_->shared()) {
    return;
  }
  const std::string where = " (its folder " + folder_->path().string() + " is shared)";
  if (checked_->exists && !now.sameFile(*checked_)) {
    fail(now.exists ? "it is no longer the file that was there when the run started" + where + "; it is left as it is"
                    : "the file that was there when the run started is gone" + where + "; nothing was put there");
  }
  if (!checked_->exists && now.exists) {
    fail("a file was put under its name while the run went on" + where + "; it is left as it is");
  }
}

std::string OutputFile::putBackAside() {
  // In a shared folder the name may have been taken while it was free:
  // what took it stays.
  if (folder_->shared()) {
    const native::Linked back = native::renameNoReplace(*folder_, backup_.filename(), name_);
    return back.taken ? "a file was put under its name meanwhile" : back.problem;
  }
  return native::replace(*folder_, backup_.filename(), name_);
}

void OutputFile::commit() {
  finish();
  if (!replaces_ || committed_) {
    return;
  }
  native::Entry now;
  checkStillThere(now);
  settle();
  existed_ = now.regular;
  if (existed_) {
    const auto next = [this] { return beside(kBackupMarker); };
    // A second name for the old file, so that it can be put back.
    std::string reason = withFreeName(next, backup_, [&](const fs::path& name, bool& taken) {
      const native::Linked linked = native::hardLink(*folder_, name_, name.filename());
      taken = linked.taken;
      return linked.problem;
    });
    backupLinked_ = reason.empty();
    if (!reason.empty()) {
      // Links refused (another user's file under fs.protected_hardlinks, a
      // file system without them): the old file itself is moved aside, and
      // is for a moment not under its own name.
      reason = withFreeName(next, backup_, [&](const fs::path& name, bool& taken) {
        const native::Linked moved = native::renameNoReplace(*folder_, name_, name.filename());
        taken = moved.taken;
        return moved.problem;
      });
      if (!reason.empty()) {
        fail("cannot keep the old file while the new one is put in place: " + reason);
      }
    }
    // The name may have changed hands between the look and the link: what
    // was put aside must be the file that was checked.
    if (folder_->shared() && !native::look(*folder_, backup_.filename()).sameFile(*checked_)) {
      const std::string back = backupLinked_ ? (native::remove(*folder_, backup_.filename()) ? std::string()
                                                                                             : "it could not be removed")
                                             : putBackAside();
      std::string left;
      if (back.empty()) {
        backup_.clear();
      } else {
        left = "; what was put aside is at " + backup_.string() + " (" + back + ")";
      }
      fail("it is no longer the file that was there when the run started (its folder " + folder_->path().string() +
           " is shared); it is left as it is" + left);
    }
  }
  std::string reason;
  if (!existed_ && folder_->shared()) {
    // A free name is taken only while it is still free.
    const native::Linked placed = native::renameNoReplace(*folder_, temporary_.filename(), name_);
    reason = placed.taken ? "a file was put under its name while the run went on (its folder " +
                                folder_->path().string() + " is shared); it is left as it is"
                          : placed.problem;
  } else {
    reason = native::replace(*folder_, temporary_.filename(), name_);
  }
  if (!reason.empty()) {
    // The old file is still in place when the backup is a second name of
    // it; renaming one name over the other would leave both.
    if (!backup_.empty() &&
        (backupLinked_ ? native::remove(*folder_, backup_.filename()) : putBackAside().empty())) {
      backup_.clear();
    }
    fail(reason + (backup_.empty() ? std::string() : "; the old file is at " + backup_.string()));
  }
  // So that the rename survives a power cut.
  native::syncFolder(*folder_);
  committed_ = true;
  temporary_.clear();
  forgetTemporary(cleanupSlot_);
  cleanupSlot_ = -1;
}

void OutputFile::keep() {
  if (!backup_.empty()) {
    native::remove(*folder_, backup_.filename());
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
    reason = native::replace(*folder_, backup_.filename(), name_);
    if (reason.empty()) {
      backup_.clear();
    }
  } else if (!existed_ && !native::remove(*folder_, name_)) {
    reason = "the new file could not be removed";
  }
  if (reason.empty()) {
    committed_ = false;
  }
  return reason;
}

}  // namespace ddhost
