// Only the release runtime is supported: nothing debug-specific to declare.
#pragma once
#include <vcruntime_new.h>
