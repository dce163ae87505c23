#include "Plugins.h"

#include "PluginFileCheck.h"

#include <boost/dll/runtime_symbol_info.hpp>

#if defined(_WIN32)
#  include <windows.h>
#endif

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
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

#if defined(_WIN32)

std::string systemMessage(DWORD code) {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = text != nullptr ? text : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) {
    message.pop_back();
  }
  return message;
}

std::string fileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An import that the DLL search does not find, the imports it was reached
// through, and Windows' reason.
struct MissingImport {
  std::vector<std::string> through;
  std::string name;
  std::string reason;
};

// Windows says only that some module was not found. The first import of
// `file`, depth first, that does not load and is not found by the same
// search its loading used (the program's folder, the system folders,
// PATH); imports that load are whole, with everything beneath them.
std::optional<MissingImport> findMissingImport(const fs::path& file, std::vector<std::string>& through,
                                               std::set<std::string>& tried) {
  for (const std::string& name : importedLibraries(fileBytes(file))) {
    if (!tried.insert(lowered(name)).second || GetModuleHandleA(name.c_str()) != nullptr) {
      continue;
    }
    if (HMODULE module = LoadLibraryA(name.c_str()); module != nullptr) {
      FreeLibrary(module);
      continue;
    }
    const DWORD code = GetLastError();
    std::string found(MAX_PATH, '\0');
    const DWORD length = SearchPathA(nullptr, name.c_str(), nullptr, static_cast<DWORD>(found.size()), found.data(),
                                     nullptr);
    if (length == 0 || length >= found.size()) {
      return MissingImport{through, name, systemMessage(code)};
    }
    // It is there but does not load: look beneath it.
    found.resize(length);
    through.push_back(name);
    if (std::optional<MissingImport> missing = findMissingImport(found, through, tried)) {
      return missing;
    }
    through.pop_back();
  }
  return std::nullopt;
}

// Names the import that made `file` fail to load, when one is missing.
std::optional<std::string> describeMissingImport(const fs::path& file) {
  std::vector<std::string> through;
  std::set<std::string> tried;
  const std::optional<MissingImport> missing = findMissingImport(file, through, tried);
  if (!missing) {
    return std::nullopt;
  }
  std::string text = "cannot load plug-in " + file.string() + ": the DLL search (the program's folder, the " +
                     "system folders, PATH) does not find " + missing->name + ", which the plug-in imports";
  for (std::size_t k = 0; k < missing->through.size(); ++k) {
    text += (k == 0 ? " through " : " -> ") + missing->through[k];
  }
  return text + ": " + missing->reason;
}

#endif

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
#if defined(_WIN32)
    try {
      libraries.push_back(std::make_unique<standin::ddimage::PluginLibrary>(file.string()));
    } catch (const std::runtime_error&) {
      if (std::optional<std::string> missing = describeMissingImport(file)) {
        throw std::runtime_error(*missing);
      }
      throw;
    }
#else
    // The loader's own message names a missing library at any depth.
    libraries.push_back(std::make_unique<standin::ddimage::PluginLibrary>(file.string()));
#endif
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
