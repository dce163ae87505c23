// Attributes the node's code needs, spelt for each compiler that builds it.
#pragma once

#if defined(_MSC_VER)
#  define LUMOX_NOINLINE __declspec(noinline)
#else
#  define LUMOX_NOINLINE [[gnu::noinline]]
#endif
