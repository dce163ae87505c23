#include <harness/TestPaths.h>

#include <standin/ddimage/Registry.h>

#include <boost/dll/runtime_symbol_info.hpp>

#include <string>
#include <system_error>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <cerrno>
#  include <cstdlib>
#endif

namespace testsupport {

std::filesystem::path executableFile() {
  return boost::dll::program_location();
}

std::filesystem::path executableDir() {
  return executableFile().parent_path();
}

std::filesystem::path buildRoot() {
  return executableDir().parent_path();
}

std::filesystem::path pluginFile() {
  return buildRoot() / "plugins" / standin::ddimage::pluginFileName("LumoxIndirect");
}

// Made by the system under a name no other folder has, never one that is
// there already, so parallel runs of the tests cannot share a folder.
TemporaryDirectory::TemporaryDirectory() {
  const std::filesystem::path parent = std::filesystem::temp_directory_path();
#if defined(_WIN32)
  for (int attempt = 0;; ++attempt) {
    // The name is reserved by the file the call creates; the folder then
    // takes it only if nothing else did in between.
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(parent.c_str(), L"lxt", 0, name) == 0) {
      throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "GetTempFileName");
    }
    DeleteFileW(name);
    if (CreateDirectoryW(name, nullptr) != 0) {
      path_ = name;
      return;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS || attempt == 100) {
      throw std::system_error(static_cast<int>(error), std::system_category(), "CreateDirectory");
    }
  }
#else
  std::string name = (parent / "lumoxindirect-test-XXXXXX").string();
  if (::mkdtemp(&name[0]) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + name);
  }
  path_ = name;
#endif
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace testsupport
