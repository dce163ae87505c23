#pragma once
#ifdef __cplusplus
#include <new>
#endif
#include <vcruntime_new.h>
