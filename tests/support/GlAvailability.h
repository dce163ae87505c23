// Whether the drawing tests can have a real OpenGL context here.
#pragma once

#include <optional>
#include <string>

namespace testsupport {

// Why no off-screen OpenGL context can be made in this process, or nothing
// when one can. Where LUMOX_REQUIRE_GL is set (the test command sets it,
// having installed what a context needs), the reason is also reported as a
// test failure: a machine that lacks a package must not pass by skipping.
std::optional<std::string> glUnavailable();

}  // namespace testsupport
