#include <ddhost/InterruptCleanup.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <unistd.h>
#endif

namespace ddhost {

namespace {

using Char = std::filesystem::path::value_type;

// The handler may only touch lock-free atomics and fixed storage, so the
// paths are copied into static slots rather than referenced.
constexpr std::size_t kSlots = 4;
constexpr std::size_t kLongestPath = 4096;

enum SlotState : int { kFree, kFilling, kArmed };

struct Slot {
  std::atomic<int> state{kFree};
  Char path[kLongestPath];
};

Slot slots[kSlots];

void removeArmed() {
  for (Slot& slot : slots) {
    if (slot.state.load() == kArmed) {
#if defined(_WIN32)
      // Still open with delete sharing: gone once the process has ended.
      DeleteFileW(slot.path);
#else
      unlink(slot.path);
#endif
    }
  }
}

#if defined(_WIN32)

std::atomic<int> holders{0};
std::atomic<bool> eventPending{false};

BOOL WINAPI onConsoleEvent(DWORD /*event*/) {
  eventPending.store(true);
  // The handler runs on a thread of its own: files being put in place are
  // first put back by the holder, which sees the event pending.
  while (holders.load() > 0) {
    Sleep(10);
  }
  removeArmed();
  return FALSE;  // the default handler then ends the process
}

void installHandlers() {
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
  // A plug-in that calls exit() skips every destructor.
  std::atexit(removeArmed);
}

#else

// Every signal whose default action ends the process, core dump or not.
std::vector<int> endingSignals() {
  std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE,
                              SIGUSR1, SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,   SIGXCPU, SIGXFSZ,
                              SIGVTALRM, SIGPROF, SIGIO, SIGSYS};
#  if defined(SIGSTKFLT)
  signals.push_back(SIGSTKFLT);
#  endif
#  if defined(SIGPWR)
  signals.push_back(SIGPWR);
#  endif
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
    signals.push_back(signal);
  }
  return signals;
}

// Raised by the program's own faults: blocking them would not hold them.
bool isFault(int signal) {
  return signal == SIGILL || signal == SIGTRAP || signal == SIGBUS || signal == SIGFPE || signal == SIGSEGV ||
         signal == SIGSYS;
}

// The signals this process handles (those not ignored when it started).
sigset_t handled;

void onSignal(int signal) {
  // Whatever the signal interrupted may still read errno.
  const int savedErrno = errno;
  removeArmed();
  // SA_RESETHAND put the default action back: the parent sees the signal,
  // once this handler returns and unblocks it (or the fault recurs).
  raise(signal);
  errno = savedErrno;
}

// The handler's own stack, so that it still runs when the stack overflowed.
// Fixed in size: SIGSTKSZ need not be a constant.
constexpr std::size_t kHandlerStack = 64 * 1024;
alignas(16) char handlerStack[kHandlerStack];

void installHandlers() {
  stack_t alternate {};
  alternate.ss_sp = handlerStack;
  alternate.ss_size = kHandlerStack;
  sigaltstack(&alternate, nullptr);
  sigset_t blocked;
  sigemptyset(&blocked);
  pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
  sigemptyset(&handled);
  for (const int signal : endingSignals()) {
    struct sigaction current {};
    // A signal the caller chose to ignore (nohup), or to block, stays so:
    // one already pending would otherwise fail every run.
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN ||
        (!isFault(signal) && sigismember(&blocked, signal) == 1)) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = static_cast<int>(SA_RESETHAND | SA_ONSTACK);
    if (sigaction(signal, &action, nullptr) == 0) {
      sigaddset(&handled, signal);
    }
  }
  // A plug-in that calls exit() skips every destructor.
  std::atexit(removeArmed);
}

#endif

std::once_flag installed;

void install() {
  std::call_once(installed, installHandlers);
}

}  // namespace

void installInterruptCleanup() {
  install();
}

int rememberTemporary(const std::filesystem::path& path) {
  install();
  const std::size_t length = path.native().size();
  if (length >= kLongestPath) {
    return -1;
  }
  for (std::size_t k = 0; k < kSlots; ++k) {
    int expected = kFree;
    if (slots[k].state.compare_exchange_strong(expected, kFilling)) {
      std::memcpy(slots[k].path, path.c_str(), (length + 1) * sizeof(Char));
      slots[k].state.store(kArmed);
      return static_cast<int>(k);
    }
  }
  return -1;
}

void forgetTemporary(int slot) {
  if (slot >= 0 && static_cast<std::size_t>(slot) < kSlots) {
    slots[slot].state.store(kFree);
  }
}

void forgetAllTemporaries() {
  for (Slot& slot : slots) {
    slot.state.store(kFree);
  }
}

#if defined(_WIN32)

InterruptsHeld::InterruptsHeld() {
  install();
  holders.fetch_add(1);
}

InterruptsHeld::~InterruptsHeld() {
  if (!untilExit_) {
    holders.fetch_sub(1);
  }
}

void InterruptsHeld::untilExit() {
  untilExit_ = true;
}

bool interruptPending() {
  return eventPending.load();
}

#else

InterruptsHeld::InterruptsHeld() {
  install();
  sigset_t held;
  sigemptyset(&held);
  for (const int signal : endingSignals()) {
    if (!isFault(signal)) {
      sigaddset(&held, signal);
    }
  }
  pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

InterruptsHeld::~InterruptsHeld() {
  pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

void InterruptsHeld::untilExit() {
  for (const int signal : endingSignals()) {
    if (!isFault(signal)) {
      sigaddset(&saved_, signal);
    }
  }
  // Threads that a plug-in or a library started take them otherwise.
  for (int signal = 1; signal < NSIG; ++signal) {
    if (!isFault(signal) && sigismember(&handled, signal) == 1) {
      ::signal(signal, SIG_IGN);
    }
  }
}

bool interruptPending() {
  install();
  sigset_t pending;
  sigemptyset(&pending);
  if (sigpending(&pending) != 0) {
    return false;
  }
  for (int signal = 1; signal < NSIG; ++signal) {
    if (sigismember(&handled, signal) == 1 && sigismember(&pending, signal) == 1) {
      return true;
    }
  }
  return false;
}

#endif

}  // namespace ddhost
