// Temporary files that must not outlive a process ended by a signal it can
// catch: every signal whose default action ends the process (Ctrl-C or a
// closed console on Windows), a stack overflow included, or by exit(). The
// process then still ends by that signal, or with that status. Signals
// ignored or blocked when the process started are left so.
#pragma once

#include <filesystem>

#if !defined(_WIN32)
#  include <signal.h>
#endif

namespace ddhost {

// Installs the handlers; best done first thing, as the signals blocked then
// are those the caller blocked. Idempotent.
void installInterruptCleanup();

// Has `path` removed should a signal end the process; installs the handlers
// the first time. Returns a slot for forgetTemporary, or -1 when the path
// cannot be kept (too long, or every slot taken): the owner still removes
// it on its own failures.
int rememberTemporary(const std::filesystem::path& path);
void forgetTemporary(int slot);
// For a child process: its signals and exit() then remove nothing, as the
// files are its parent's to remove.
void forgetAllTemporaries();

// Holds those signals back while alive (all but the faults the program
// itself causes, which cannot be held), so that a file is never created
// without being remembered and several files are put in place as one step.
// A signal held back is delivered when the last holder ends. On Windows a
// console event waits for the holder instead.
class InterruptsHeld {
public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

  // Past the point of no return: the signals stay held until the process
  // exits, and are lost with it.
  void untilExit();

private:
#if defined(_WIN32)
  bool untilExit_ = false;
#else
  sigset_t saved_;
#endif
};

// Whether such a signal (or console event) is waiting to end the process:
// what is being put in place is then undone first.
bool interruptPending();

}  // namespace ddhost
