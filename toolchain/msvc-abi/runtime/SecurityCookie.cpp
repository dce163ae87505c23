// The stack cookie that /GS checks on return from functions with arrays.
#include <intrin.h>
#include <windows.h>

extern "C" {
// Never zero, and never the default once initialised: a cookie that was not
// set stays recognisable.
constexpr uintptr_t defaultCookie = 0x00002B992DDFA232ull;
uintptr_t __security_cookie = defaultCookie;
uintptr_t __security_cookie_complement = ~defaultCookie;

// Unchecked: the cookie changes while it runs.
__attribute__((no_stack_protector)) void __cdecl __security_init_cookie(void) {
    if (__security_cookie != defaultCookie) {
        return;
    }
    FILETIME time = {};
    GetSystemTimeAsFileTime(&time);
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    uintptr_t cookie = (static_cast<uintptr_t>(time.dwHighDateTime) << 32) ^ time.dwLowDateTime;
    cookie ^= GetCurrentThreadId();
    cookie ^= static_cast<uintptr_t>(GetCurrentProcessId()) << 16;
    cookie ^= (static_cast<uintptr_t>(counter.LowPart) << 32) ^ static_cast<uintptr_t>(counter.QuadPart);
    cookie ^= reinterpret_cast<uintptr_t>(&cookie);
    cookie &= 0x0000FFFFFFFFFFFFull; // as MSVC: a string overrun cannot forge it
    if (cookie == defaultCookie || cookie == 0) {
        cookie = defaultCookie + 1;
    }
    __security_cookie = cookie;
    __security_cookie_complement = ~cookie;
}

__declspec(noreturn) void __cdecl __report_gsfailure(uintptr_t) {
    __fastfail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
}

void __cdecl __security_check_cookie(uintptr_t cookie) {
    if (cookie != __security_cookie) {
        __report_gsfailure(cookie);
    }
}
}
