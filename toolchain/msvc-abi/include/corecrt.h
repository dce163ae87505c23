// Wine's corecrt.h, plus the multibyte conversion state in MSVC's 8-byte
// layout: it is part of std::streampos and std::mbstate_t, so an int (as
// Wine has it) would change the C++ library's layouts.
#pragma once
#include_next <corecrt.h>

#ifndef _MBSTATET_DEFINED
#define _MBSTATET_DEFINED
typedef struct _Mbstatet {
    unsigned long _Wchar;
    unsigned short _Byte;
    unsigned short _State;
} _Mbstatet;
#endif

#ifdef __cplusplus
extern "C"
#endif
    _ACRTIMP __declspec(noreturn) void __cdecl _invalid_parameter_noinfo_noreturn(void);
#ifndef _CRT_SECURE_INVALID_PARAMETER
#define _CRT_SECURE_INVALID_PARAMETER(expr) _invalid_parameter_noinfo_noreturn()
#endif
