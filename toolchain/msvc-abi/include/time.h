// Wine's time.h, plus what the UCRT declares there and Wine does not.
#pragma once
#include_next <time.h>

#ifdef __cplusplus
extern "C" {
#endif
#ifndef TIME_UTC
#define TIME_UTC 1
#endif
#ifndef _CRT_TIMESPEC_DEFINED
#define _CRT_TIMESPEC_DEFINED
struct _timespec64 {
    __time64_t tv_sec;
    long tv_nsec;
};
struct timespec {
    time_t tv_sec;
    long tv_nsec;
};
#endif
_ACRTIMP int __cdecl _timespec64_get(struct _timespec64*, int);
static inline int __cdecl timespec_get(struct timespec* const _Ts, int const _Base) {
    return _timespec64_get((struct _timespec64*)_Ts, _Base);
}
_ACRTIMP errno_t __cdecl _localtime64_s(struct tm*, const __time64_t*);
_ACRTIMP errno_t __cdecl _gmtime64_s(struct tm*, const __time64_t*);
static inline errno_t __cdecl localtime_s(struct tm* const _Tm, time_t const* const _Time) {
    return _localtime64_s(_Tm, _Time);
}
static inline errno_t __cdecl gmtime_s(struct tm* const _Tm, time_t const* const _Time) {
    return _gmtime64_s(_Tm, _Time);
}
#ifdef __cplusplus
}
#endif
