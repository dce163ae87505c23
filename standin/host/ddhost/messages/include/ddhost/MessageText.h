// ddhost's messages escape what they repeat as the stand-in libraries'
// do, with one function for all.
#pragma once

#include <standin/MessageText.h>

#include <cstddef>

namespace ddhost {

using standin::printable;
using standin::quoted;

// How much of a script's text a message quotes: a pathological script must
// not make a pathological message.
inline constexpr std::size_t kQuotedFromScript = 40;

}  // namespace ddhost
