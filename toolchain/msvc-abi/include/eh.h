// Wine's eh.h gives terminate() C++ linkage; ucrtbase exports it by its C name.
#pragma once
#include <corecrt.h>
#ifndef __cplusplus
#error "eh.h is meant only for C++ applications"
#endif
#define __WINE_EH_H
#pragma pack(push, 8)
struct _EXCEPTION_POINTERS;
typedef void(__cdecl* terminate_handler)(void);
typedef void(__cdecl* terminate_function)(void);
typedef void(__cdecl* unexpected_handler)(void);
typedef void(__cdecl* unexpected_function)(void);
typedef void(__cdecl* _se_translator_function)(unsigned int, struct _EXCEPTION_POINTERS*);
extern "C" {
_ACRTIMP terminate_handler __cdecl set_terminate(terminate_handler);
_ACRTIMP terminate_handler __cdecl _get_terminate(void);
_ACRTIMP __declspec(noreturn) void __cdecl terminate(void) throw();
_ACRTIMP unexpected_handler __cdecl set_unexpected(unexpected_handler);
_ACRTIMP unexpected_handler __cdecl _get_unexpected(void);
_ACRTIMP __declspec(noreturn) void __cdecl unexpected(void);
_ACRTIMP _se_translator_function __cdecl _set_se_translator(_se_translator_function);
}
#pragma pack(pop)
