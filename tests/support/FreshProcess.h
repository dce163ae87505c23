// Cases that need a process no other case has touched, such as one whose
// process-wide loader has never been initialised.
#pragma once

namespace testsupport {

// Runs the current case again, alone, in a new process of this program.
// There it returns true and the case's body runs; here it checks that the
// new process ran the case and passed, and returns false:
//
//   if (!testsupport::inFreshProcess()) return;
bool inFreshProcess();

}  // namespace testsupport
