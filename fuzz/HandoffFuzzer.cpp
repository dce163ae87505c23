// Any text as the host's plug-in path field: the library path the loader
// hands to the renderer library follows the install-layout rule, computed
// here on its own.
#include <liblumox/Handoff.h>

#include <standin/lumox/Transcript.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Root = everything up to and including the separator in front of the
// plug-in's folder name; empty when there is none. A backslash separates
// too on Windows only.
std::string expectedLibraryPath(std::string path) {
#if defined(_WIN32)
  for (char& c : path) {
    if (c == '\\') {
      c = '/';
    }
  }
#endif
  int slashesSeen = 0;
  std::size_t rootEnd = 0;
  for (std::size_t i = path.size(); i-- > 0;) {
    if (path[i] == '/' && ++slashesSeen == 2) {
      rootEnd = i + 1;
      break;
    }
  }
  // A path with one separator has no folder above the plug-in's.
  return path.substr(0, rootEnd) + "bin/Lumox.dll";
}

bool once = [] {
  standin::lumox::setInitMode(standin::lumox::InitMode::Fail);
  standin::lumox::setHomeDir(standin::lumox::HomeDirMode::Null);
  return true;
}();

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const std::string field = raw.substr(0, raw.find('\0'));
  standin::lumox::clearTranscript();
  liblumox::handOff(field.c_str());
  const auto calls = standin::lumox::transcript();
  if (calls.empty() || calls.front().function != "Lumox_initPath" || !calls.front().text ||
      *calls.front().text != expectedLibraryPath(field)) {
    std::abort();
  }
  return 0;
}
