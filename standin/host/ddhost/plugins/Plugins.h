// Plug-ins, loaded from a folder at start-up as the host does.
#pragma once

#include <standin/ddimage/Registry.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace ddhost {

// The folder of the running program.
std::filesystem::path programDir();

// plugins/ beside the folder that holds the program, as installed.
std::filesystem::path defaultPluginDir();

// The plug-in files (by the platform's plug-in suffix) in a folder, in name
// order, by absolute path: the plug-ins locate their own files from the
// path the host records. A file is listed once however many entries lead
// to it. A missing or unreadable folder holds none, and
// says why.
struct PluginFolder {
  std::filesystem::path dir;
  std::vector<std::filesystem::path> files;
  std::string problem;  // "does not exist", "is not a folder", "cannot be read: ..."
};
PluginFolder findPlugins(const std::filesystem::path& dir);

// What a message about a missing node class says of where plug-ins were
// looked for: "1 plug-in loaded from DIR", "the plug-in folder DIR does not
// exist".
std::string describePluginFolder(const PluginFolder& folder);

// Loads every file of the folder. Throws std::runtime_error when a file is
// incomplete or fails to load (on Windows naming the first import, at any
// depth, that the DLL search does not find), or registers a node class that
// is built in, registered by another file, or registered twice by itself. A
// file whose static initialisation throws ends the run with exit status 1,
// naming it.
std::vector<std::unique_ptr<standin::ddimage::PluginLibrary>> loadPlugins(const PluginFolder& folder);

}  // namespace ddhost
