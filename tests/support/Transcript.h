// Reading the stand-in renderer's transcript in tests.
#pragma once

#include <standin/lumox/Transcript.h>

#include <string>
#include <vector>

namespace testsupport {

// The functions called, in order.
inline std::vector<std::string> functionsOf(const std::vector<standin::lumox::Call>& calls) {
  std::vector<std::string> names;
  names.reserve(calls.size());
  for (const standin::lumox::Call& call : calls) {
    names.push_back(call.function);
  }
  return names;
}

}  // namespace testsupport
