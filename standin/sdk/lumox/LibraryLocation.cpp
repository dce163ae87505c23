#include "LibraryLocation.h"

#include <Lumox/Lumox.h>
#include <standin/lumox/Transcript.h>

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

namespace standin {
namespace lumox {

std::string ownLibraryFile() {
#if defined(_WIN32)
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&Lumox_initPath), &module);
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(module, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) {
      return {};
    }
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&Lumox_initPath), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::error_code error;
  const auto absolute = std::filesystem::absolute(info.dli_fname, error);
  return error ? std::string(info.dli_fname) : absolute.string();
#endif
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
