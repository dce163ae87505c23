#include "InterruptCleanup.h"

#include <atomic>
#include <cstring>
#include <mutex>

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

BOOL WINAPI onConsoleEvent(DWORD /*event*/) {
  removeArmed();
  return FALSE;  // the default handler then ends the process
}

void installHandlers() {
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

#else

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void onSignal(int signal) {
  removeArmed();
  // SA_RESETHAND put the default action back: the parent sees the signal.
  raise(signal);
}

void installHandlers() {
  for (const int signal : kInterruptions) {
    struct sigaction current {};
    // A signal the caller chose to ignore (nohup) stays ignored.
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigaction(signal, &action, nullptr);
  }
}

#endif

}  // namespace

int rememberTemporary(const std::filesystem::path& path) {
  static std::once_flag installed;
  std::call_once(installed, installHandlers);
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

#if defined(_WIN32)

InterruptsHeld::InterruptsHeld() = default;
InterruptsHeld::~InterruptsHeld() = default;

#else

InterruptsHeld::InterruptsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (const int signal : kInterruptions) {
    sigaddset(&held, signal);
  }
  pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

InterruptsHeld::~InterruptsHeld() {
  pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

#endif

}  // namespace ddhost
