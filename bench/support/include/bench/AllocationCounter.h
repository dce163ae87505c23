// Heap allocations made through the global operator new, counted by the
// program's own replacement of it.
#pragma once

#include <cstdint>

namespace benchsupport {

// Calls of any form of the global operator new made on the calling thread
// so far, the project's shared libraries included. Only operator new: what
// the C library allocates with malloc (setenv, for one) is not seen.
std::uint64_t allocations();

// Throws std::runtime_error unless an allocation made inside the renderer
// library is counted: otherwise every figure would silently leave out what
// the shared libraries allocate.
void requireLibraryAllocationsCounted();

}  // namespace benchsupport
