// Wine's wchar.h (its mbstate_t made MSVC's by the build, see
// HeaderFixes.cmake), plus what the UCRT declares there and Wine does not.
#pragma once
#include_next <wchar.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif
static_assert(sizeof(mbstate_t) == 8, "mbstate_t must have MSVC's layout");

_ACRTIMP int __cdecl mbsinit(const mbstate_t*);
_ACRTIMP long double __cdecl wcstold(const wchar_t*, wchar_t**);

static inline int __cdecl fwide(FILE* _Stream, int _Mode) {
    (void)_Stream;
    return _Mode;
}
static inline int __cdecl vfwscanf(FILE* _Stream, const wchar_t* _Format, va_list _Args) {
    return __stdio_common_vfwscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, _Stream, _Format, NULL, _Args);
}
static inline int __cdecl vswscanf(const wchar_t* _Buffer, const wchar_t* _Format, va_list _Args) {
    return __stdio_common_vswscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, _Buffer, (size_t)-1, _Format, NULL, _Args);
}
static inline int __cdecl vwscanf(const wchar_t* _Format, va_list _Args) {
    return vfwscanf(stdin, _Format, _Args);
}
#ifdef __cplusplus
}
#endif
