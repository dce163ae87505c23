// Numbers as the script and the command line write them: the whole text,
// in the C locale's syntax, finite, and nothing around it ("4x", " 4",
// "nan" and "inf" are not numbers).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ddhost {

std::optional<std::int64_t> parseInteger(std::string_view text);

// Why a number is no float. A float would read a number too small for it
// as 0, which a user who wrote it did not mean: it is refused like one too
// large, rather than changed in silence.
enum class FloatProblem { None, NotANumber, TooLarge, TooSmall };

struct FloatReading {
  float value = 0;
  FloatProblem problem = FloatProblem::NotANumber;
  // Written with a minus sign, whatever its problem.
  bool negative = false;
};

FloatReading readFloat(std::string_view text);
// A finite number that a float holds without overflowing, and that it does
// not round to 0 unless it is 0.
std::optional<float> parseFloat(std::string_view text);

// The bound a number of `problem` breaks, for messages: "within the float
// range (at most 3.40282e+38)", for instance ("... in magnitude" when
// `eitherSign`).
std::string floatBound(FloatProblem problem, bool eitherSign);

}  // namespace ddhost
