#include <harness/Environment.h>

#include <cstdlib>
#include <stdexcept>

namespace testsupport {

std::optional<std::string> environmentValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void setEnvironmentValue(const std::string& name, const std::optional<std::string>& value) {
#if defined(_WIN32)
  // The runtime copies the entry; an empty value removes the variable.
  const std::string entry = name + "=" + value.value_or("");
  const int result = _putenv(entry.c_str());
#else
  const int result = value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
#endif
  if (result != 0) {
    throw std::runtime_error("cannot set " + name + " in the environment");
  }
}

bool childSees(const std::string& name, const std::optional<std::string>& value) {
  // Names and values used by the tests hold no shell metacharacters.
#if defined(_WIN32)
  const std::string command = value ? "cmd /c if \"%" + name + "%\"==\"" + *value + "\" (exit 0) else (exit 1)"
                                    : "cmd /c if defined " + name + " (exit 1) else (exit 0)";
  return std::system(command.c_str()) == 0;
#else
  const std::string command = value ? "sh -c '[ \"${" + name + "-unset}\" = \"" + *value + "\" ]'"
                                    : "sh -c '[ -z \"${" + name + "+set}\" ]'";
  return std::system(command.c_str()) == 0;
#endif
}

}  // namespace testsupport
