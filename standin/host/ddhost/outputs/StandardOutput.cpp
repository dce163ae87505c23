#include <ddhost/StandardOutput.h>

#include <cstdio>
#include <stdexcept>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#endif

namespace ddhost {

void writeStandardOutput(const std::string& bytes) {
#if defined(_WIN32)
  // Windows would otherwise turn "\n" into "\r\n": the RIB must be the same
  // bytes on every platform.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
    throw std::runtime_error("cannot write to standard output");
  }
}

}  // namespace ddhost
