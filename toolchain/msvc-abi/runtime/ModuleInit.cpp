// Initialisation and the per-module atexit table: a DLL's static objects are
// destroyed when it unloads, not when the process ends, as under MSVC.
#include "Startup.h"

#include <corecrt_startup.h>
#include <stdlib.h>

extern "C" {
_ACRTIMP int __cdecl _initterm_e(_PIFV*, _PIFV*);
_ACRTIMP void __cdecl _initterm(_PVFV*, _PVFV*);
}

namespace {
_onexit_table_t moduleExitTable;
}

extern "C" int __cdecl atexit(_PVFV function) {
    return _register_onexit_function(&moduleExitTable, reinterpret_cast<_onexit_t>(function)) == 0 ? 0 : -1;
}

namespace lumox_crt {
bool initializeModule() {
    if (_initialize_onexit_table(&moduleExitTable) != 0) {
        return false;
    }
    if (_initterm_e(__xi_a, __xi_z) != 0) {
        return false;
    }
    _initterm(__xc_a, __xc_z);
    return true;
}

void runModuleExitHandlers() {
    _execute_onexit_table(&moduleExitTable);
    _initterm(__xp_a, __xp_z);
    _initterm(__xt_a, __xt_z);
}
} // namespace lumox_crt
