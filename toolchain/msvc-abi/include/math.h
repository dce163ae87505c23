// Wine's math.h, made to look like the UCRT's to MSVC's C++ library: the
// classification macros become overloads (the library declares its own for
// integers), long double (which is double here, as under MSVC) gets its
// functions, and the few C99 ones Wine's header lacks are declared.
#pragma once
#include_next <math.h>

#undef fpclassify
#undef signbit
#undef isinf
#undef isnan
#undef isnormal
#undef isfinite
#undef isgreater
#undef isgreaterequal
#undef isless
#undef islessequal
#undef islessgreater
#undef isunordered

#ifdef __cplusplus
extern "C" {
#endif
typedef float float_t;
typedef double double_t;
_ACRTIMP double __cdecl erfc(double);
_ACRTIMP float __cdecl erfcf(float);
_ACRTIMP double __cdecl fma(double, double, double);
_ACRTIMP float __cdecl fmaf(float, float, float);
_ACRTIMP double __cdecl nan(const char*);
_ACRTIMP float __cdecl nanf(const char*);
_ACRTIMP double __cdecl nexttoward(double, long double);
_ACRTIMP float __cdecl nexttowardf(float, long double);

#define _LUMOX_LD1(name) \
    static inline long double __cdecl name##l(long double _X) { return name((double)_X); }
#define _LUMOX_LD2(name) \
    static inline long double __cdecl name##l(long double _X, long double _Y) { return name((double)_X, (double)_Y); }
_LUMOX_LD1(acos) _LUMOX_LD1(acosh) _LUMOX_LD1(asin) _LUMOX_LD1(asinh) _LUMOX_LD1(atan) _LUMOX_LD1(atanh)
_LUMOX_LD1(cbrt) _LUMOX_LD1(ceil) _LUMOX_LD1(cos) _LUMOX_LD1(cosh) _LUMOX_LD1(erf) _LUMOX_LD1(erfc)
_LUMOX_LD1(exp) _LUMOX_LD1(exp2) _LUMOX_LD1(expm1) _LUMOX_LD1(fabs) _LUMOX_LD1(floor) _LUMOX_LD1(lgamma)
_LUMOX_LD1(log) _LUMOX_LD1(log10) _LUMOX_LD1(log1p) _LUMOX_LD1(log2) _LUMOX_LD1(logb) _LUMOX_LD1(nearbyint)
_LUMOX_LD1(rint) _LUMOX_LD1(round) _LUMOX_LD1(sin) _LUMOX_LD1(sinh) _LUMOX_LD1(sqrt) _LUMOX_LD1(tan)
_LUMOX_LD1(tanh) _LUMOX_LD1(tgamma) _LUMOX_LD1(trunc)
_LUMOX_LD2(atan2) _LUMOX_LD2(copysign) _LUMOX_LD2(fdim) _LUMOX_LD2(fmax) _LUMOX_LD2(fmin) _LUMOX_LD2(fmod)
_LUMOX_LD2(hypot) _LUMOX_LD2(nextafter) _LUMOX_LD2(pow) _LUMOX_LD2(remainder)
#undef _LUMOX_LD1
#undef _LUMOX_LD2
static inline long double __cdecl fmal(long double _X, long double _Y, long double _Z) {
    return fma((double)_X, (double)_Y, (double)_Z);
}
static inline long double __cdecl frexpl(long double _X, int* _Y) { return frexp((double)_X, _Y); }
static inline int __cdecl ilogbl(long double _X) { return ilogb((double)_X); }
static inline long double __cdecl ldexpl(long double _X, int _Y) { return ldexp((double)_X, _Y); }
static inline long long __cdecl llrintl(long double _X) { return llrint((double)_X); }
static inline long long __cdecl llroundl(long double _X) { return llround((double)_X); }
static inline long __cdecl lrintl(long double _X) { return lrint((double)_X); }
static inline long __cdecl lroundl(long double _X) { return lround((double)_X); }
static inline long double __cdecl modfl(long double _X, long double* _Y) {
    double _Int;
    double const _Frac = modf((double)_X, &_Int);
    *_Y = _Int;
    return _Frac;
}
static inline long double __cdecl nanl(const char* _Tag) { return nan(_Tag); }
static inline long double __cdecl nexttowardl(long double _X, long double _Y) { return nextafter((double)_X, (double)_Y); }
static inline long double __cdecl remquol(long double _X, long double _Y, int* _Z) {
    return remquo((double)_X, (double)_Y, _Z);
}
static inline long double __cdecl scalblnl(long double _X, long _Y) { return scalbln((double)_X, _Y); }
static inline long double __cdecl scalbnl(long double _X, int _Y) { return scalbn((double)_X, _Y); }
#ifdef __cplusplus
}

extern "C++" {
inline int fpclassify(float _X) noexcept {
    return __builtin_fpclassify(FP_NAN, FP_INFINITE, FP_NORMAL, FP_SUBNORMAL, FP_ZERO, _X);
}
inline int fpclassify(double _X) noexcept {
    return __builtin_fpclassify(FP_NAN, FP_INFINITE, FP_NORMAL, FP_SUBNORMAL, FP_ZERO, _X);
}
inline int fpclassify(long double _X) noexcept {
    return __builtin_fpclassify(FP_NAN, FP_INFINITE, FP_NORMAL, FP_SUBNORMAL, FP_ZERO, _X);
}
inline bool signbit(float _X) noexcept { return __builtin_signbit(_X) != 0; }
inline bool signbit(double _X) noexcept { return __builtin_signbit(_X) != 0; }
inline bool signbit(long double _X) noexcept { return __builtin_signbit(_X) != 0; }
template <class _Ty> inline bool isinf(_Ty _X) noexcept { return fpclassify(_X) == FP_INFINITE; }
template <class _Ty> inline bool isnan(_Ty _X) noexcept { return fpclassify(_X) == FP_NAN; }
template <class _Ty> inline bool isnormal(_Ty _X) noexcept { return fpclassify(_X) == FP_NORMAL; }
template <class _Ty> inline bool isfinite(_Ty _X) noexcept { return fpclassify(_X) <= 0; }
template <class _T1, class _T2> inline bool isgreater(_T1 _X, _T2 _Y) noexcept { return __builtin_isgreater(_X, _Y); }
template <class _T1, class _T2> inline bool isgreaterequal(_T1 _X, _T2 _Y) noexcept { return __builtin_isgreaterequal(_X, _Y); }
template <class _T1, class _T2> inline bool isless(_T1 _X, _T2 _Y) noexcept { return __builtin_isless(_X, _Y); }
template <class _T1, class _T2> inline bool islessequal(_T1 _X, _T2 _Y) noexcept { return __builtin_islessequal(_X, _Y); }
template <class _T1, class _T2> inline bool islessgreater(_T1 _X, _T2 _Y) noexcept { return __builtin_islessgreater(_X, _Y); }
template <class _T1, class _T2> inline bool isunordered(_T1 _X, _T2 _Y) noexcept { return __builtin_isunordered(_X, _Y); }
}
#endif
