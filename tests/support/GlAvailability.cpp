#include "support/GlAvailability.h"

#include <standin/offscreen/OffscreenContext.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>

namespace testsupport {

namespace {

std::optional<std::string> probe() {
  if (!standin::offscreen::OffscreenContext::displayAvailable()) {
    return std::string("no display for OpenGL");
  }
  try {
    const standin::offscreen::OffscreenContext context(1, 1);
  } catch (const std::exception& error) {
    return std::string("no OpenGL context: ") + error.what();
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> glUnavailable() {
  // Once a process: a context that could be made once can be made again.
  static const std::optional<std::string> reason = probe();
  const char* required = std::getenv("LUMOX_REQUIRE_GL");
  if (reason && required != nullptr && *required != '\0') {
    ADD_FAILURE() << "LUMOX_REQUIRE_GL is set, but " << *reason;
  }
  return reason;
}

}  // namespace testsupport
