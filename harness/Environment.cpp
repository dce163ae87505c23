#include <harness/Environment.h>

#include <cstdlib>

namespace testsupport {

std::optional<std::string> environmentValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
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
