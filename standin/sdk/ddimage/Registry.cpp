// Registration records and plug-in loading.
#include <standin/ddimage/Registry.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <link.h>
#endif

namespace standin {
namespace ddimage {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<DD::Image::Op::Description*> records;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

const DD::Image::Op::Description* findDescription(const std::string& className) {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  for (auto it = r.records.rbegin(); it != r.records.rend(); ++it) {
    if ((*it)->name != nullptr && className == (*it)->name) {
      return *it;
    }
  }
  return nullptr;
}

std::vector<std::string> registeredClasses() {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  std::vector<std::string> names;
  for (const auto* record : r.records) {
    names.emplace_back(record->name != nullptr ? record->name : "");
  }
  return names;
}

std::string pluginFileName(const std::string& stem) {
#if defined(_WIN32)
  return stem + ".dll";
#else
  return stem + ".so";
#endif
}

#if defined(_WIN32)

namespace {

std::string lastError() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = text != nullptr ? text : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
    message.pop_back();
  }
  return message;
}

void* openLibrary(const std::string& file) {
  HMODULE module = LoadLibraryA(file.c_str());
  if (module == nullptr) {
    // A loader that catches what a DLL's initialisation throws fails the
    // load with the exception's code: GCC's or MSVC's C++ exception.
    const DWORD code = GetLastError();
    if (code == 0x20474343 || code == 0xE06D7363) {
      throw std::runtime_error("cannot load plug-in " + file +
                               ": its static initialisation threw an exception (code " + std::to_string(code) + ")");
    }
    throw std::runtime_error("cannot load plug-in " + file + ": " + lastError());
  }
  return reinterpret_cast<void*>(module);
}

std::string reportedPath(void* handle) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(static_cast<HMODULE>(handle), &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) {
      throw std::runtime_error("cannot find the plug-in's file name: " + lastError());
    }
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void closeLibrary(void* handle) {
  FreeLibrary(static_cast<HMODULE>(handle));
}

}  // namespace

#else

namespace {

void* openLibrary(const std::string& file) {
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    throw std::runtime_error("cannot load plug-in " + file + ": " + (reason != nullptr ? reason : "unknown"));
  }
  return handle;
}

std::string reportedPath(void* handle) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) {
    throw std::runtime_error("cannot find the plug-in's file name");
  }
  // The loader reports the name as it was given; a relative one would name
  // another file once the working directory changes.
  return std::filesystem::absolute(map->l_name).string();
}

void closeLibrary(void* handle) {
  dlclose(handle);
}

}  // namespace

#endif

namespace {

// Which record a class name means would otherwise depend on the load order,
// and a built-in class would be replaced without a word. Empty when the
// records from `first` on, all of the file `file`, clash with none.
std::string conflictOf(const std::vector<DD::Image::Op::Description*>& records, std::size_t first,
                       const std::string& file) {
  for (std::size_t i = first; i < records.size(); ++i) {
    const char* name = records[i]->name;
    if (name == nullptr) {
      continue;
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (records[j]->name == nullptr || std::strcmp(records[j]->name, name) != 0) {
        continue;
      }
      const std::string quotedName = std::string("\"") + name + "\"";
      if (j >= first) {
        return "plug-in " + file + " registers the node class " + quotedName + " twice";
      }
      if (records[j]->path == nullptr) {
        return "plug-in " + file + " registers the node class " + quotedName + ", which is built in";
      }
      return std::string("plug-ins ") + records[j]->path + " and " + file + " both register the node class " +
             quotedName;
    }
  }
  return {};
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& file) {
  Registry& r = registry();
  std::size_t before = 0;
  {
    const std::lock_guard<std::mutex> lock(r.mutex);
    before = r.records.size();
  }
  handle_ = openLibrary(file);
  try {
    path_ = reportedPath(handle_);
  } catch (...) {
    closeLibrary(handle_);
    throw;
  }
  std::string refusal;
  {
    const std::lock_guard<std::mutex> lock(r.mutex);
    refusal = conflictOf(r.records, before, path_);
    if (!refusal.empty()) {
      // Off the list at once: a library may stay loaded after it is closed.
      r.records.erase(r.records.begin() + static_cast<std::ptrdiff_t>(before), r.records.end());
    } else {
      for (std::size_t i = before; i < r.records.size(); ++i) {
        r.records[i]->path = path_.c_str();
        classes_.emplace_back(r.records[i]->name != nullptr ? r.records[i]->name : "");
      }
    }
  }
  if (!refusal.empty()) {
    closeLibrary(handle_);
    throw std::runtime_error(refusal);
  }
}

PluginLibrary::~PluginLibrary() {
  closeLibrary(handle_);
}

}  // namespace ddimage
}  // namespace standin

namespace DD {
namespace Image {

Op::Description::Description(const char* className, Constructor factory)
    : name(className), path(nullptr), constructor(factory) {
  auto& r = standin::ddimage::registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  r.records.push_back(this);
}

Op::Description::~Description() {
  auto& r = standin::ddimage::registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  r.records.erase(std::remove(r.records.begin(), r.records.end(), this), r.records.end());
}

}  // namespace Image
}  // namespace DD
