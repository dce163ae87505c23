// The part of Microsoft's vcruntime.h that its C++ library builds on:
// packing, import and calling-convention macros and the security cookie.
// Wine's C runtime headers give the rest of the C side.
#pragma once
#define _VCRUNTIME_H

#include <corecrt.h>
#include <vadefs.h>

#ifndef _CRT_PACKING
#define _CRT_PACKING 8
#endif
#pragma pack(push, _CRT_PACKING)

#ifndef _HAS_EXCEPTIONS
#ifdef _CPPUNWIND
#define _HAS_EXCEPTIONS 1
#else
#define _HAS_EXCEPTIONS 0
#endif
#endif

#ifdef _MSVC_LANG
#define _LUMOX_STL_LANG _MSVC_LANG
#elif defined(__cplusplus)
#define _LUMOX_STL_LANG __cplusplus
#else
#define _LUMOX_STL_LANG 0L
#endif
#ifndef _HAS_CXX17
#define _HAS_CXX17 (_LUMOX_STL_LANG > 201402L)
#endif
#ifndef _HAS_CXX20
#define _HAS_CXX20 (_LUMOX_STL_LANG > 201703L)
#endif
#ifndef _HAS_CXX23
#define _HAS_CXX23 (_LUMOX_STL_LANG > 202002L)
#endif

#ifndef _HAS_NODISCARD
#define _HAS_NODISCARD 1
#endif
#if _HAS_NODISCARD
#define _NODISCARD [[nodiscard]]
#else
#define _NODISCARD
#endif

#define _VCRTIMP __declspec(dllimport)
#ifndef _CRTIMP2
#define _CRTIMP2 __declspec(dllimport)
#endif
#ifndef _CRT_SATELLITE_1
#define _CRT_SATELLITE_1 __declspec(dllimport)
#endif
#ifndef _CRT_SATELLITE_2
#define _CRT_SATELLITE_2 __declspec(dllimport)
#endif
#ifndef _MRTIMP2
#define _MRTIMP2 __declspec(dllimport)
#endif
#define _PGLOBAL
#ifndef _CRT_SATELLITE_CODECVT_IDS
#define _CRT_SATELLITE_CODECVT_IDS
#endif
#ifndef _CRT_SATELLITE_CODECVT_IDS_NOIMPORT
#define _CRT_SATELLITE_CODECVT_IDS_NOIMPORT
#endif
#define __CRTDECL __cdecl
#define __CLRCALL_PURE_OR_CDECL __cdecl
#define __CLRCALL_OR_CDECL __cdecl
#define __CLR_OR_THIS_CALL

#ifdef __cplusplus
#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING)) extern "C" {
#define _CRT_END_C_HEADER } __pragma(pack(pop))
#define _VCRT_EXTERN_C extern "C"
#else
#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING))
#define _CRT_END_C_HEADER __pragma(pack(pop))
#define _VCRT_EXTERN_C
#endif

#define _CRT_STRINGIZE_(x) #x
#define _CRT_STRINGIZE(x) _CRT_STRINGIZE_(x)
#define _CRT_WIDE_(s) L##s
#define _CRT_WIDE(s) _CRT_WIDE_(s)
#define _CRT_CONCATENATE_(a, b) a##b
#define _CRT_CONCATENATE(a, b) _CRT_CONCATENATE_(a, b)
#define _CRT_UNPARENTHESIZE_(...) __VA_ARGS__
#define _CRT_UNPARENTHESIZE(...) _CRT_UNPARENTHESIZE_ __VA_ARGS__
#define _CRT_UNUSED(x) (void)x
#define _CRT_GUARDOVERFLOW
#define _CRT_HYBRIDPATCHABLE
#define _VCRT_NOALIAS __declspec(noalias)
#define _VCRT_RESTRICT __declspec(restrict)
#define _VCRT_ALLOCATOR __declspec(allocator)
#define _VCRT_ALIGN(x) __declspec(align(x))
#ifndef _CRT_ALIGN
#define _CRT_ALIGN(x) __declspec(align(x))
#endif
#ifndef _CRT_DEPRECATE_TEXT
#define _CRT_DEPRECATE_TEXT(_Text) __declspec(deprecated(_Text))
#endif
#ifndef _CRT_INSECURE_DEPRECATE
#define _CRT_INSECURE_DEPRECATE(_Replacement)
#endif
#ifndef _CRT_INSECURE_DEPRECATE_MEMORY
#define _CRT_INSECURE_DEPRECATE_MEMORY(_Replacement)
#endif
#ifndef _CRT_SECURE_CPP_NOTHROW
#define _CRT_SECURE_CPP_NOTHROW throw()
#endif
#ifndef _countof
#ifdef __cplusplus
extern "C++" template <typename _Ty, size_t _Size> char (*__countof_helper(_Ty (&)[_Size]))[_Size];
#define _countof(_Array) (sizeof(*__countof_helper(_Array)) + 0)
#else
#define _countof(_Array) (sizeof(_Array) / sizeof(_Array[0]))
#endif
#endif

#ifdef __cplusplus
typedef bool __vcrt_bool;
#else
typedef _Bool __vcrt_bool;
#endif

_CRT_BEGIN_C_HEADER
// Defined by the module's own start-up part, as MSVC's static runtime does.
extern uintptr_t __security_cookie;
void __cdecl __security_init_cookie(void);
void __cdecl __security_check_cookie(uintptr_t _StackCookie);
__declspec(noreturn) void __cdecl __report_gsfailure(uintptr_t _StackCookie);
_CRT_END_C_HEADER

#pragma pack(pop)
