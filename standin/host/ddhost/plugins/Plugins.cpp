#include "Plugins.h"

#include "PluginFileCheck.h"

#include <ddhost/FileIdentity.h>
#include <ddhost/MessageText.h>

#include <boost/dll/runtime_symbol_info.hpp>

#if defined(_WIN32)
#  include <windows.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

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

// One file reached through several entries (a link, a hard link) is one
// plug-in, under its own name rather than a link's where it has one.
void keepOneEntryAFile(std::vector<fs::path>& files) {
  std::vector<std::pair<FileIdentity, std::size_t>> seen;
  std::vector<fs::path> kept;
  for (fs::path& file : files) {
    const std::optional<FileIdentity> identity = identityOf(file);
    const auto same = identity ? std::find_if(seen.begin(), seen.end(),
                                              [&identity](const auto& entry) { return entry.first == *identity; })
                               : seen.end();
    if (same == seen.end()) {
      if (identity) {
        seen.emplace_back(*identity, kept.size());
      }
      kept.push_back(std::move(file));
      continue;
    }
    std::error_code error;
    fs::path& earlier = kept[same->second];
    if (fs::is_symlink(fs::symlink_status(earlier, error)) && !fs::is_symlink(fs::symlink_status(file, error))) {
      earlier = std::move(file);
    }
  }
  files = std::move(kept);
}

// A static initialiser that throws ends the process through std::terminate
// where the platform's loader neither catches the exception nor passes it
// on (glibc's; Windows' fails the load instead). While a file is loaded,
// that end names it; nothing is written yet, so there is nothing to undo,
// and nothing of the half-loaded file may run again.
class ThrowingInitialiserNamed {
public:
  explicit ThrowingInitialiserNamed(const fs::path& file) : previous_(std::set_terminate(&named)) {
    loading() = file.string();
  }
  ~ThrowingInitialiserNamed() { std::set_terminate(previous_); }
  ThrowingInitialiserNamed(const ThrowingInitialiserNamed&) = delete;
  ThrowingInitialiserNamed& operator=(const ThrowingInitialiserNamed&) = delete;

private:
  static std::string& loading() {
    static std::string file;
    return file;
  }

  [[noreturn]] static void named() {
    std::string reason = "its static initialisation ended the process";
    try {
      if (const std::exception_ptr thrown = std::current_exception()) {
        std::rethrow_exception(thrown);
      }
    } catch (const std::exception& error) {
      reason = std::string("its static initialisation threw: ") + error.what();
    } catch (...) {
      reason = "its static initialisation threw an exception that is no std::exception";
    }
    const std::string message = printable("ddhost: cannot load plug-in " + loading() + ": " + reason) + "\n";
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fflush(stderr);
    std::_Exit(1);
  }

  std::terminate_handler previous_;
};

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
  keepOneEntryAFile(folder.files);
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
  for (const fs::path& file : folder.files) {
    // The loader maps what the headers promise; past the end of a file cut
    // short, that ends the process with SIGBUS.
    checkPluginFileComplete(file);
    const ThrowingInitialiserNamed naming(file);
    // The SDK refuses a file whose classes clash with one registered before
    // (built in, by another file, or by the file itself).
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
  }
  return libraries;
}

}  // namespace ddhost
