// The bounds of the initializer and terminator tables. The compiler puts
// each pointer in a .CRT$X?? section and the linker sorts them by name, so
// the "A" and "Z" entries bracket them.
#include "Startup.h"

#include <windows.h>

extern "C" {
#pragma section(".CRT$XIA", long, read)
#pragma section(".CRT$XIZ", long, read)
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
#pragma section(".CRT$XPA", long, read)
#pragma section(".CRT$XPZ", long, read)
#pragma section(".CRT$XTA", long, read)
#pragma section(".CRT$XTZ", long, read)
#pragma section(".CRT$XLA", long, read)
#pragma section(".CRT$XLZ", long, read)

__declspec(allocate(".CRT$XIA")) _PIFV __xi_a[] = {nullptr};
__declspec(allocate(".CRT$XIZ")) _PIFV __xi_z[] = {nullptr};
__declspec(allocate(".CRT$XCA")) _PVFV __xc_a[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) _PVFV __xc_z[] = {nullptr};
__declspec(allocate(".CRT$XPA")) _PVFV __xp_a[] = {nullptr};
__declspec(allocate(".CRT$XPZ")) _PVFV __xp_z[] = {nullptr};
__declspec(allocate(".CRT$XTA")) _PVFV __xt_a[] = {nullptr};
__declspec(allocate(".CRT$XTZ")) _PVFV __xt_z[] = {nullptr};

// Thread-local storage: thread_local variables and the thread-safe static
// epoch live between _tls_start and _tls_end; the loader finds the
// directory through _tls_used.
ULONG _tls_index = 0;
#pragma section(".tls", long, read, write)
#pragma section(".tls$ZZZ", long, read, write)
__declspec(allocate(".tls")) char _tls_start = 0;
__declspec(allocate(".tls$ZZZ")) char _tls_end = 0;
__declspec(allocate(".CRT$XLA")) PIMAGE_TLS_CALLBACK __xl_a = nullptr;
__declspec(allocate(".CRT$XLZ")) PIMAGE_TLS_CALLBACK __xl_z = nullptr;

extern const IMAGE_TLS_DIRECTORY64 _tls_used = {
    reinterpret_cast<ULONGLONG>(&_tls_start),
    reinterpret_cast<ULONGLONG>(&_tls_end),
    reinterpret_cast<ULONGLONG>(&_tls_index),
    reinterpret_cast<ULONGLONG>(&__xl_a + 1),
    0,
    0,
};

// Tells the linker that floating point is in use, as MSVC's objects expect.
int _fltused = 0x9875;
// The processor level the C++ library may assume: the baseline, so that it
// never picks an instruction this machine lacks.
int __isa_available = 0;
}
