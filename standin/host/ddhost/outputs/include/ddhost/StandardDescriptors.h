// Standard input, output and error as the caller left them. One the caller
// closed is opened on the null device first thing, so that no file the run
// opens takes its number (and gets the RIB, a library's log or the
// script's role); names of it are still judged as closed.
#pragma once

namespace ddhost {

// Records which of descriptors 0, 1 and 2 are closed and opens those on the
// null device. Call before anything opens a file; idempotent.
void takeStandardDescriptors();

// Whether descriptor `number` (0, 1 or 2) was closed when the run started.
bool standardDescriptorWasClosed(int number);

}  // namespace ddhost
