// Running the installed ddhost, and the files its tests compare against.
#pragma once

#include <harness/Files.h>
#include <harness/Process.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The tree the installed_tree fixture installs, beside the build's bin/.
std::filesystem::path installedPrefix();
std::filesystem::path installedDdhost();
std::filesystem::path installedPlugin();

std::filesystem::path examplesDir();
// The example script called `name` (without its extension).
std::string exampleScript(const std::string& name);
std::filesystem::path goldenDir();

// The names in `dir`, sorted.
std::vector<std::string> listDir(const std::filesystem::path& dir);

// The lines of a program's text output, without their line ends ("\n", or
// "\r\n" from a Windows program's text-mode streams).
std::vector<std::string> lines(const std::string& text);

// What the program says, and fails with before any case runs, when it is
// run without the installed tree: which fixture makes it.
std::string missingTreeMessage();

// Runs the installed ddhost.
ProcessResult ddhost(const std::vector<std::string>& arguments, const std::string& input = {});

#if !defined(_WIN32)
// Runs a command line, for what only a shell sets up: redirections, other
// descriptors, the environment.
ProcessResult shell(const std::string& command, const char* program = "/bin/sh");
// `path` as one word of a command line.
std::string shellWord(const std::filesystem::path& path);
#endif

}  // namespace testsupport
