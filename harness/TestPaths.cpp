#include <harness/TestPaths.h>

#include <standin/ddimage/Registry.h>

#include <atomic>
#include <chrono>
#include <system_error>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <unistd.h>
#endif

namespace testsupport {

std::filesystem::path executableFile() {
#if defined(_WIN32)
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path);
#else
  return std::filesystem::canonical("/proc/self/exe");
#endif
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

TemporaryDirectory::TemporaryDirectory() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          ("lumoxindirect-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace testsupport
