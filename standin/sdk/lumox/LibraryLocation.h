// Where the stand-in renderer library itself was loaded from.
#pragma once

#include <string>

namespace standin {
namespace lumox {

// This library's file as the platform reports it.
std::string ownLibraryFile();

// True when `libraryPath` is an absolute path to "Lumox.dll" in the folder
// this library was loaded from (on Linux the name stands for this file).
bool namesThisLibrary(const std::string& libraryPath);

}  // namespace lumox
}  // namespace standin
