#include "Plugins.h"

#include "PluginFileCheck.h"

#include <boost/dll/runtime_symbol_info.hpp>

#include <algorithm>
#include <cctype>
#include <map>
#include <stdexcept>
#include <string>
#include <system_error>

namespace ddhost {

namespace fs = std::filesystem;

fs::path programDir() {
  std::error_code error;
  const fs::path program = boost::dll::program_location(error);
  if (error) {
    throw std::runtime_error("cannot find the program's own file: " + error.message());
  }
  return program.parent_path();
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

PluginFolder findPlugins(const fs::path& dir) {
  PluginFolder folder;
  folder.dir = dir;
  std::error_code error;
  const fs::file_status status = fs::status(dir, error);
  if (!fs::exists(status)) {
    folder.problem = "does not exist";
    return folder;
  }
  if (!fs::is_directory(status)) {
    folder.problem = "is not a folder";
    return folder;
  }
  fs::directory_iterator entries(dir, error);
  for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
    if (isPluginFile(*entries)) {
      folder.files.push_back(fs::absolute(entries->path()).lexically_normal());
    }
  }
  if (error) {
    folder.files.clear();
    folder.problem = "cannot be read: " + error.message();
    return folder;
  }
  std::sort(folder.files.begin(), folder.files.end());
  return folder;
}

std::string describePluginFolder(const PluginFolder& folder) {
  if (!folder.problem.empty()) {
    return "the plug-in folder " + folder.dir.string() + " " + folder.problem;
  }
  const std::size_t count = folder.files.size();
  return std::to_string(count) + (count == 1 ? " plug-in" : " plug-ins") + " loaded from " + folder.dir.string();
}

std::vector<std::unique_ptr<standin::ddimage::PluginLibrary>> loadPlugins(const PluginFolder& folder) {
  std::vector<std::unique_ptr<standin::ddimage::PluginLibrary>> libraries;
  // Two files registering one class (two copies of a plug-in, say) would
  // leave it to the load order which one the scene gets.
  std::map<std::string, fs::path> registeredBy;
  for (const fs::path& file : folder.files) {
    // The loader maps what the headers promise; past the end of a file cut
    // short, that ends the process with SIGBUS.
    checkPluginFileComplete(file);
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
