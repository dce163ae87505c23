// A program run to completion, with its wall time and peak resident size.
#pragma once

#include <string>
#include <vector>

namespace benchsupport {

struct MeasuredRun {
  int exitStatus = -1;  // -1 when it ended by a signal
  double seconds = 0;     // wall time
  double cpuSeconds = 0;  // its processor time, user and system
  double peakBytes = 0;  // of that process alone
};

// Runs `program` with its output streams thrown away. Throws
// std::runtime_error when it cannot be started.
MeasuredRun runMeasured(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace benchsupport
