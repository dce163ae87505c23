// Text from outside (a script, a file name, a plug-in, a library path) made
// safe to print in a one-line message: nothing in it can end the line, move
// a terminal's cursor, hide or reorder what is shown, or garble the
// encoding. ddhost and the stand-in libraries write their messages alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace standin {

// `text` with control characters (C0, DEL and C1) as \n, \t, \r or \xHH;
// format characters and line and paragraph separators (Unicode's Cf, Zl
// and Zp: a byte order mark, bidirectional overrides, U+2028, ...) as \xHH
// for each of their bytes; each byte that is not part of valid UTF-8 as
// \xHH; all else unchanged.
std::string printable(std::string_view text);

// `text` in double quotes, as printable() but with '"' and '\' escaped too,
// cut after about `longest` bytes (on a character's boundary) with "...".
std::string quoted(std::string_view text, std::size_t longest = std::string_view::npos);

}  // namespace standin
