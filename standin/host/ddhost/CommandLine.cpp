#include "CommandLine.h"

#include "Numbers.h"

#include <ddhost/MessageText.h>

#include <CLI/CLI.hpp>

#include <map>

namespace ddhost {

namespace {

// Large enough for any real viewer, small enough that the picture's buffer
// is always allocatable and within what the off-screen context accepts.
constexpr int kLargestViewerSide = 4096;

std::optional<ViewerSize> parseViewerSize(const std::string& text) {
  const auto x = text.find('x');
  if (x == std::string::npos) {
    return std::nullopt;
  }
  const auto width = parseInteger(std::string_view(text).substr(0, x));
  const auto height = parseInteger(std::string_view(text).substr(x + 1));
  if (!width || !height || *width < 1 || *height < 1 || *width > kLargestViewerSide ||
      *height > kLargestViewerSide) {
    return std::nullopt;
  }
  return ViewerSize{static_cast<int>(*width), static_cast<int>(*height)};
}

// Why `text` is no sample scale, or "": the first bound it breaks, so that
// "-1e400" is told it is negative rather than too large.
std::string sampleScaleProblem(const std::string& text) {
  const FloatReading reading = readFloat(text);
  // "-0" is 0; any other number written with a minus is below 0.
  const bool negative = reading.negative && (reading.problem != FloatProblem::None || reading.value != 0);
  if (reading.problem == FloatProblem::None && !negative) {
    return std::string();
  }
  const std::string bound = reading.problem == FloatProblem::NotANumber || negative
                                ? std::string("a finite number >= 0")
                                : floatBound(reading.problem, false);
  return "must be " + bound + ", not " + quoted(text, kQuotedFromScript);
}

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
  CLI::App app("Stand-in host: reads a node script, loads plug-ins, and writes the scene's lights as RIB.",
               "ddhost");
  Options options;
  std::string sampleScale = "1";
  std::string viewerSize = "640x360";
  std::string output;
  std::string viewer;
  std::string pluginDir;

  // CLI11 would take "/name" for an option on Windows, where it is a path
  // from the root of the current drive.
  app.allow_windows_style_options(false);
  // What the user typed comes back in these messages: escaped, and on one
  // line like every other message of ddhost's, so a log keeps it whole.
  app.failure_message([](const CLI::App*, const CLI::Error& error) {
    return "ddhost: " + printable(error.what()) + " (ddhost --help lists the options)\n";
  });
  app.set_version_flag("--version", std::string("ddhost ") + DDHOST_VERSION);
  auto* scriptOption = app.add_option("SCRIPT", options.script, "The script: a file, or - for standard input");
  std::string describe;
  auto* describeOption =
      app.add_option("--describe", describe,
                     "Print the controls of a node class, one line each (into -o when given), and run nothing")
          ->type_name("CLASS")
          ->excludes(scriptOption);
  auto* outputOption = app.add_option("-o,--output", output, "Write the RIB to FILE, or - for standard output (the default)")
                           ->type_name("FILE")
                           ->check([](const std::string& text) {
                             return text.empty() ? std::string("needs a file name") : std::string();
                           });
  app.add_option("--sample-scale", sampleScale, "The bridge's sample scale, a finite number >= 0 (default 1)")
      ->type_name("X")
      ->check(sampleScaleProblem);
  app.add_flag("--as-shader", options.asShader, "Emit each light as a shader instance");
  const std::map<std::string, ExporterChoice> exporters = {
      {"accept", ExporterChoice::Accept}, {"decline", ExporterChoice::Decline}, {"none", ExporterChoice::None}};
  std::string exporter = "accept";
  app.add_option("--exporter", exporter,
                 "The bridge's input exporter: accept every image (default), decline every image, or none")
      ->type_name("WHICH")
      ->check(CLI::IsMember({"accept", "decline", "none"}));
  // "-" would be standard output for -o; the picture is never written there.
  auto* viewerOption = app.add_option("--viewer", viewer, "Also draw the 3D viewer into a PNG")
                           ->type_name("FILE.png")
                           ->check([](const std::string& text) {
                             if (text == "-") {
                               return std::string("needs a file: the picture is never written to standard output "
                                                  "(./- names a file called -)");
                             }
                             return text.empty() ? std::string("needs a file name") : std::string();
                           });
  app.add_option("--viewer-size", viewerSize, "The viewer picture's size (default 640x360)")
      ->type_name("WxH")
      ->check([](const std::string& text) {
        return parseViewerSize(text) ? std::string()
                                     : "must be WIDTHxHEIGHT, each 1 to " + std::to_string(kLargestViewerSide);
      });
  // A description is text, with no viewer to draw.
  describeOption->excludes(viewerOption);
  auto* pluginDirOption =
      app.add_option("--plugin-dir", pluginDir, "Where plug-ins are loaded from (default: plugins/ beside bin/)")
          ->type_name("DIR")
          ->check(CLI::Validator(CLI::ExistingDirectory).description(""));

  try {
    app.parse(argc, argv);
    if (scriptOption->count() == 0 && describeOption->count() == 0) {
      throw CLI::RequiredError("SCRIPT");
    }
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return CommandLine{std::nullopt, status == 0 ? 0 : 2};
  }

  options.sampleScale = *parseFloat(sampleScale);
  options.viewerSize = *parseViewerSize(viewerSize);
  options.exporter = exporters.at(exporter);
  // "-" is standard output, as it is standard input for the script.
  if (outputOption->count() > 0 && output != "-") {
    options.output = output;
  }
  if (viewerOption->count() > 0) {
    options.viewer = viewer;
  }
  if (pluginDirOption->count() > 0) {
    options.pluginDir = pluginDir;
  }
  if (describeOption->count() > 0) {
    options.describe = describe;
  }
  return CommandLine{std::move(options), 0};
}

}  // namespace ddhost
