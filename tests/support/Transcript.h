// Reading the stand-in renderer's transcript in tests.
#pragma once

#include <standin/lumox/Transcript.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
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

// The renderer's variables (name → value, nullopt when not set) as one way
// of reading them saw them.
using EnvironmentSeen = std::map<std::string, std::optional<std::string>>;

// A call's environment readings by way of reading; each way reads each
// variable once.
inline std::map<std::string, EnvironmentSeen> environmentOf(const standin::lumox::Call& call) {
  std::map<std::string, EnvironmentSeen> byWay;
  for (const standin::lumox::EnvironmentReading& reading : call.environment) {
    EXPECT_EQ(byWay[reading.through].count(reading.variable), 0u) << reading.variable << " read twice";
    byWay[reading.through][reading.variable] = reading.value;
  }
  return byWay;
}

// `seen`, as every way the stand-in renderer reads its environment on this
// platform should see it.
inline std::map<std::string, EnvironmentSeen> seenEveryWay(const EnvironmentSeen& seen) {
#if defined(_WIN32)
  const std::set<std::string> ways = {"getenv", "GetEnvironmentVariableA"};
#else
  const std::set<std::string> ways = {"getenv"};
#endif
  std::map<std::string, EnvironmentSeen> byWay;
  for (const std::string& way : ways) {
    byWay[way] = seen;
  }
  return byWay;
}

}  // namespace testsupport
