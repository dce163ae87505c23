#include "Plugins.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <stdexcept>
#include <string>
#include <system_error>

#if defined(_WIN32)
#  include <windows.h>
#endif

namespace ddhost {

namespace fs = std::filesystem;

fs::path programDir() {
#if defined(_WIN32)
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) {
      throw std::runtime_error("cannot find the program's own file");
    }
    if (n < path.size()) {
      path.resize(n);
      return fs::path(path).parent_path();
    }
    path.resize(path.size() * 2);
  }
#else
  return fs::canonical("/proc/self/exe").parent_path();
#endif
}

fs::path defaultPluginDir() {
  return programDir().parent_path() / "plugins";
}

namespace {

#if defined(_WIN32)
// Windows file names ignore case.
std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}
#endif

bool isPluginFile(const fs::directory_entry& entry) {
  std::error_code error;
  if (!entry.is_regular_file(error)) {
    return false;
  }
  const std::string suffix = standin::ddimage::pluginFileName("");
  const std::string name = entry.path().filename().string();
#if defined(_WIN32)
  const std::string compared = lowered(name);
#else
  const std::string& compared = name;
#endif
  return compared.size() > suffix.size() && compared.compare(compared.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::vector<std::unique_ptr<standin::ddimage::PluginLibrary>> loadPlugins(const fs::path& dir) {
  std::vector<std::unique_ptr<standin::ddimage::PluginLibrary>> libraries;
  std::error_code error;
  if (!fs::is_directory(dir, error)) {
    return libraries;
  }
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    if (isPluginFile(entry)) {
      files.push_back(fs::absolute(entry.path()).lexically_normal());
    }
  }
  std::sort(files.begin(), files.end());
  // Two files registering one class (two copies of a plug-in, say) would
  // leave it to the load order which one the scene gets.
  std::map<std::string, fs::path> registeredBy;
  for (const fs::path& file : files) {
    libraries.push_back(std::make_unique<standin::ddimage::PluginLibrary>(file.string()));
    for (const std::string& name : libraries.back()->classes()) {
      const auto [first, inserted] = registeredBy.emplace(name, file);
      if (!inserted) {
        throw std::runtime_error("plug-ins " + first->second.string() + " and " + file.string() +
                                 " both register the node class \"" + name + "\"");
      }
    }
  }
  return libraries;
}

}  // namespace ddhost
