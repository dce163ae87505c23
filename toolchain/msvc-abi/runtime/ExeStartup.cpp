// A console program's entry point: the C runtime's arguments and
// environment, this module's initializers, then main and exit.
#include "Startup.h"

#include <stdlib.h>
#include <windows.h>

extern "C" {
void __cdecl __security_init_cookie(void);
int __cdecl main(int, char**, char**);
}

namespace {
// exit() runs the process-wide handlers; this module's own ride on them.
void __cdecl runExeExitHandlers() {
    lumox_crt::runModuleExitHandlers();
}
} // namespace

// Unchecked: the stack cookie is set while it runs.
extern "C" __attribute__((no_stack_protector)) int mainCRTStartup() {
    __security_init_cookie();
    _set_app_type(_crt_console_app);
    if (_configure_narrow_argv(_crt_argv_unexpanded_arguments) != 0 || _initialize_narrow_environment() != 0) {
        _exit(255);
    }
    _crt_atexit(runExeExitHandlers);
    if (!lumox_crt::initializeModule()) {
        _exit(255);
    }
    exit(main(*__p___argc(), *__p___argv(), _get_initial_narrow_environment()));
}
