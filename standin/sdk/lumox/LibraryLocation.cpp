#include "LibraryLocation.h"

#include <Lumox/Lumox.h>
#include <standin/lumox/Transcript.h>

#include <boost/dll/runtime_symbol_info.hpp>

#include <filesystem>
#include <system_error>

namespace standin {
namespace lumox {

std::string ownLibraryFile() {
  boost::dll::fs::error_code error;
  const boost::dll::fs::path file = boost::dll::this_line_location(error);
  return error ? std::string() : file.string();
}

bool namesThisLibrary(const std::string& libraryPath) {
  namespace fs = std::filesystem;
  const fs::path given(libraryPath);
  if (!given.is_absolute() || given.filename() != "Lumox.dll") {
    return false;
  }
  std::error_code error;
  const bool same = fs::equivalent(given.parent_path(), fs::path(ownLibraryFile()).parent_path(), error);
  return same && !error;
}

std::string libraryFile() {
  return ownLibraryFile();
}

std::string installRoot() {
  const std::filesystem::path file(ownLibraryFile());
  return file.parent_path().parent_path().string();
}

}  // namespace lumox
}  // namespace standin
