// Reading the process environment, and asking a child process about it.
#pragma once

#include <optional>
#include <string>

namespace testsupport {

// The variable as the C runtime of this process sees it.
std::optional<std::string> environmentValue(const std::string& name);

// Sets `name` in this process's environment (nullopt: removes it) through
// the C runtime, as the loader does, so the renderer library sees it too.
void setEnvironmentValue(const std::string& name, const std::optional<std::string>& value);

// True when a newly started child process sees `name` set to `value`
// (nullopt: not set at all).
bool childSees(const std::string& name, const std::optional<std::string>& value);

}  // namespace testsupport
