// Plug-ins, loaded from a folder at start-up as the host does.
#pragma once

#include <standin/ddimage/Registry.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace ddhost {

// The folder of the running program.
std::filesystem::path programDir();

// plugins/ beside the folder that holds the program, as installed.
std::filesystem::path defaultPluginDir();

// Loads every plug-in file (by the platform's plug-in suffix) in `dir`, in
// name order, by absolute path: the plug-ins locate their own files from
// the path the host records. A missing folder holds no plug-ins. Throws
// std::runtime_error when a file fails to load, or when two files register
// the same node class.
std::vector<std::unique_ptr<standin::ddimage::PluginLibrary>> loadPlugins(const std::filesystem::path& dir);

}  // namespace ddhost
