// Where the stand-in renderer writes the RIB of the calls it receives.
#pragma once

#include <Lumox/Lumox.h>

#include <iosfwd>
#include <string>
#include <string_view>

namespace standin {
namespace lumox {

// Starts a RIB output into `out`, which must outlive closeOutput(). Writes
// the header lines; light source numbers start again at 1.
LUMOX_API void openOutput(std::ostream& out);
// Same into a file (binary, so bytes are identical on every platform).
// Throws std::runtime_error when the file cannot be opened.
LUMOX_API void openOutputFile(const std::string& path);
// Writes a line of the caller's own (e.g. "WorldBegin") at the current indent.
LUMOX_API void writeLine(const std::string& line);
// Flushes and ends the output; the scene calls then write nothing.
LUMOX_API void closeOutput();

// True when a scene call since the output was opened was refused because
// the library had not been initialised: the output lacks it.
LUMOX_API bool sceneRefused();
// The library path last given to Lumox_initPath ("" when none was).
LUMOX_API std::string givenLibraryPath();

// `bytes` as a RIB string: quoted; '"' and '\' escaped by a backslash;
// control characters (and DEL) as three-digit octal escapes.
LUMOX_API std::string ribString(std::string_view bytes);

}  // namespace lumox
}  // namespace standin
