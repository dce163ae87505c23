// Wine's stdlib.h, plus what the UCRT declares there and Wine does not.
#pragma once
// Wine declares atexit imported; under MSVC it is the module's own, so that
// a DLL's handlers run when it unloads.
#define atexit __lumox_wine_imported_atexit
#include_next <stdlib.h>
#undef atexit
// The UCRT's stdlib.h brings errno's codes, which the C++ library relies on.
#include <errno.h>

#ifdef __cplusplus
extern "C" {
#endif
int __cdecl atexit(void(__cdecl*)(void));
_ACRTIMP __declspec(noreturn) void __cdecl quick_exit(int);
_ACRTIMP int __cdecl at_quick_exit(void(__cdecl*)(void));
_ACRTIMP errno_t __cdecl _dupenv_s(char**, size_t*, const char*);
_ACRTIMP unsigned int __cdecl _set_abort_behavior(unsigned int, unsigned int);
#ifdef __cplusplus
}
#endif
