// MSVC's subset of <intrin.h> for its C++ library; clang declares them all.
#pragma once
#include <intrin.h>
