// ddhost's command line.
#pragma once

#include <optional>
#include <string>

namespace ddhost {

enum class ExporterChoice { Accept, Decline, None };

struct ViewerSize {
  int width = 640;
  int height = 360;
};

struct Options {
  std::string script;                  // a path, or "-" for standard input; empty with describe
  std::optional<std::string> describe;   // a node class whose panel to print instead
  std::optional<std::string> output;   // none: standard output
  float sampleScale = 1.0f;
  bool asShader = false;
  ExporterChoice exporter = ExporterChoice::Accept;
  std::optional<std::string> viewer;   // PNG to draw the 3D viewer into
  ViewerSize viewerSize;
  std::optional<std::string> pluginDir;  // none: plugins/ beside the program's folder
};

// Either options to run with, or the exit status to leave with at once
// (0 after --help or --version, 2 for a wrong command line; CLI11 has then
// written what it had to say).
struct CommandLine {
  std::optional<Options> options;
  int exitStatus = 0;
};

CommandLine parseCommandLine(int argc, char** argv);

}  // namespace ddhost
