// Temporary files that must not outlive a process that is interrupted
// (SIGINT, SIGTERM, SIGHUP, SIGPIPE; Ctrl-C or a closed console on Windows).
#pragma once

#include <filesystem>

#if !defined(_WIN32)
#  include <signal.h>
#endif

namespace ddhost {

// Has `path` removed should an interruption end the process; installs the
// handlers the first time. Returns a slot for forgetTemporary, or -1 when
// the path cannot be kept (too long, or every slot taken): the owner still
// removes it on its own failures.
int rememberTemporary(const std::filesystem::path& path);
void forgetTemporary(int slot);

// Holds the interrupting signals back while alive, so that a temporary file
// is never created without being remembered. Nothing on Windows, where the
// console handler runs on a thread of its own.
class InterruptsHeld {
public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
#if !defined(_WIN32)
  sigset_t saved_;
#endif
};

}  // namespace ddhost
