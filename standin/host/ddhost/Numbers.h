// Numbers as the script and the command line write them: the whole text,
// in the C locale's syntax, finite, and nothing around it ("4x", " 4",
// "nan" and "inf" are not numbers).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ddhost {

std::optional<std::int64_t> parseInteger(std::string_view text);
// A finite number that a float holds without overflowing.
std::optional<float> parseFloat(std::string_view text);

}  // namespace ddhost
