// Wine's synchapi.h relies on the basic Windows types being declared first;
// the Windows SDK's includes them itself.
#pragma once
#include <windows.h>
#include_next <synchapi.h>
