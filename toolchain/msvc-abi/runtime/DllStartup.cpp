// A DLL's entry point: sets up the module before DllMain sees it and tears
// it down after.
#include "Startup.h"

#include <windows.h>

extern "C" {
void __cdecl __security_init_cookie(void);
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID);

// A DLL without a DllMain of its own gets this one.
BOOL WINAPI lumox_crt_default_DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
}
#pragma comment(linker, "/alternatename:DllMain=lumox_crt_default_DllMain")

// Unchecked: the stack cookie is set while it runs.
extern "C" __attribute__((no_stack_protector)) BOOL WINAPI _DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        __security_init_cookie();
        if (!lumox_crt::initializeModule()) {
            lumox_crt::runModuleExitHandlers();
            return FALSE;
        }
        if (!DllMain(instance, reason, reserved)) {
            lumox_crt::runModuleExitHandlers();
            lumox_crt::releaseTypeNames();
            return FALSE;
        }
        return TRUE;
    }
    BOOL const result = DllMain(instance, reason, reserved);
    if (reason == DLL_PROCESS_DETACH) {
        lumox_crt::runModuleExitHandlers();
        lumox_crt::releaseTypeNames();
    }
    return result;
}
