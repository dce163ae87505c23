// Thread-safe initialisation of function-local statics. The compiler
// compares a static's guard with this thread's epoch and calls in here only
// when the static may not be ready; one lock and one condition variable
// serve every static of the module.
#include <limits.h>
#include <windows.h>

namespace {
constexpr int uninitialized = 0;
constexpr int beingInitialized = -1;
SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE initialized = CONDITION_VARIABLE_INIT;
} // namespace

extern "C" {
int _Init_global_epoch = INT_MIN;
__declspec(thread) int _Init_thread_epoch = INT_MIN;

void __cdecl _Init_thread_header(int* const guard) {
    AcquireSRWLockExclusive(&lock);
    while (*guard == beingInitialized) {
        SleepConditionVariableSRW(&initialized, &lock, INFINITE, 0);
    }
    if (*guard == uninitialized) {
        *guard = beingInitialized; // this thread initialises it
    } else {
        _Init_thread_epoch = _Init_global_epoch;
    }
    ReleaseSRWLockExclusive(&lock);
}

void __cdecl _Init_thread_footer(int* const guard) {
    AcquireSRWLockExclusive(&lock);
    ++_Init_global_epoch;
    *guard = _Init_global_epoch;
    _Init_thread_epoch = _Init_global_epoch;
    ReleaseSRWLockExclusive(&lock);
    WakeAllConditionVariable(&initialized);
}

// The initialiser threw: the next caller tries again.
void __cdecl _Init_thread_abort(int* const guard) {
    AcquireSRWLockExclusive(&lock);
    *guard = uninitialized;
    ReleaseSRWLockExclusive(&lock);
    WakeAllConditionVariable(&initialized);
}
}
