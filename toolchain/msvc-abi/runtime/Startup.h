// What the start-up pieces of this runtime share.
#pragma once

#include <corecrt_startup.h>

// What a module of this runtime imports from: pulled in with the entry point.
#pragma comment(lib, "vcruntime")
#pragma comment(lib, "ucrt")
#pragma comment(lib, "kernel32")
// The allocation functions' fallbacks (NewDelete.cpp) must be seen.
#pragma comment(linker, "/include:lumox_crt_new")

extern "C" {
// The bounds of the compiler's initializer tables (CrtSections.cpp).
extern _PIFV __xi_a[], __xi_z[];
extern _PVFV __xc_a[], __xc_z[];
extern _PVFV __xp_a[], __xp_z[];
extern _PVFV __xt_a[], __xt_z[];
}

namespace lumox_crt {
// Runs the C and C++ initializers of this module; false when one failed.
bool initializeModule();
// Runs this module's atexit handlers, last registered first.
void runModuleExitHandlers();
// Frees the names type_info::name() made for this module.
void releaseTypeNames();
} // namespace lumox_crt
