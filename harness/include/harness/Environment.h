// Reading the process environment, and asking a child process about it.
#pragma once

#include <optional>
#include <string>

namespace testsupport {

// The variable as the C runtime of this process sees it.
std::optional<std::string> environmentValue(const std::string& name);

// True when a newly started child process sees `name` set to `value`
// (nullopt: not set at all).
bool childSees(const std::string& name, const std::optional<std::string>& value);

}  // namespace testsupport
