// The underlying renderer's variables, read as the library itself would.
#pragma once

#include <standin/lumox/Transcript.h>

#include <vector>

namespace standin {
namespace lumox {

// DELIGHT and DELIGHT_CONF through the C runtime, and on Windows also
// through the process environment block: a loader that changes only one of
// them leaves the library reading the other.
std::vector<EnvironmentReading> readRendererEnvironment();

}  // namespace lumox
}  // namespace standin
