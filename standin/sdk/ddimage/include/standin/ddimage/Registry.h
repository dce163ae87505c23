// Registered node classes, and plug-in files loaded at run time.
#pragma once

#include <DDImage/Op.h>

#include <memory>
#include <string>
#include <vector>

namespace standin {
namespace ddimage {

// The newest record registered under `className`, or null.
DDIMAGE_API const DD::Image::Op::Description* findDescription(const std::string& className);
DDIMAGE_API std::vector<std::string> registeredClasses();

// A plug-in file loaded into the process. When its records have registered,
// each gets the file's path as the platform reports it. Unloads on
// destruction: destroy every node of its classes first.
class DDIMAGE_API PluginLibrary {
public:
  // Throws std::runtime_error with the platform's reason on failure.
  explicit PluginLibrary(const std::string& file);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  const std::string& path() const { return path_; }
  const std::vector<std::string>& classes() const { return classes_; }

private:
  void* handle_ = nullptr;
  std::string path_;
  std::vector<std::string> classes_;
};

// The platform's file name for a plug-in called `stem` ("X.so" / "X.dll").
DDIMAGE_API std::string pluginFileName(const std::string& stem);

}  // namespace ddimage
}  // namespace standin
