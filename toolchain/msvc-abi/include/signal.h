// Wine's signal.h, plus the type the UCRT declares there and Wine does not.
#pragma once
#include_next <signal.h>

typedef int sig_atomic_t;
