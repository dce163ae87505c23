// Wine's stdio.h, plus the v*scanf family the UCRT has inline.
#pragma once
#include_next <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif
static inline int __cdecl vfscanf(FILE* _Stream, const char* _Format, va_list _Args) {
    return __stdio_common_vfscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, _Stream, _Format, NULL, _Args);
}
static inline int __cdecl vsscanf(const char* _Buffer, const char* _Format, va_list _Args) {
    return __stdio_common_vsscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, _Buffer, (size_t)-1, _Format, NULL, _Args);
}
static inline int __cdecl vscanf(const char* _Format, va_list _Args) {
    return vfscanf(stdin, _Format, _Args);
}
// ucrtbase exports it; the STL reads a stream's buffer through it.
_ACRTIMP errno_t __cdecl _get_stream_buffer_pointers(FILE*, char***, char***, int**);
#ifdef __cplusplus
}
#endif
