// ddhost from ten thousand lights to a million: the peak resident size each
// light adds, and whether the processor time per light stays flat as the
// scene grows.
// Each scene runs as its own process; an empty scene shows the part that
// does not grow with the scene (start-up, plug-in loading).
#include <bench/MeasuredRun.h>
#include <bench/SceneScript.h>
#include <bench/Summary.h>

#include <harness/Files.h>
#include <harness/TestPaths.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kSmall = 10000;
constexpr int kLarge = 100000;
constexpr int kMillion = 1000000;
constexpr double kKilobyte = 1024.0;
constexpr std::size_t kCommentBytes = 300000000;  // 300 MB, as its name says
// What reading such a script may add to the empty scene's peak: a few of
// ddhost's 1 MB pieces, nowhere near the script's size.
constexpr double kCommentsGoalMegabytes = 8.0;
const char* const kCommentsName = "scale/300MB_of_comments";

struct Workspace {
  testsupport::TemporaryDirectory dir;
  std::string ddhost;
  std::map<int, fs::path> scripts;  // by light count; 0 is the empty scene
  fs::path comments;                 // kCommentBytes of comment lines and one light
  fs::path output;
};

std::unique_ptr<Workspace> workspace;
std::vector<int> sizes = {0, kSmall, kLarge};

std::string ddhostProgram() {
  const char* given = std::getenv("LUMOX_BENCH_DDHOST");
  return given != nullptr && *given != '\0' ? given : LUMOX_BENCH_DDHOST;
}

// TransformBegin, the exported image's comment, LightSource and
// TransformEnd per light, and four lines around them.
std::size_t expectedLines(int lights) {
  return 4 * static_cast<std::size_t>(lights) + 4;
}

std::size_t linesIn(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::size_t lines = 0;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    lines += static_cast<std::size_t>(std::count(buffer, buffer + in.gcount(), '\n'));
  }
  return lines;
}

void runScene(benchmark::State& state, int lights) {
  const fs::path& script = workspace->scripts.at(lights);
  for (auto _ : state) {
    const auto run = benchsupport::runMeasured(workspace->ddhost, {script.string(), "-o", workspace->output.string()});
    if (run.exitStatus != 0) {
      state.SkipWithError(("ddhost exited with status " + std::to_string(run.exitStatus)).c_str());
      return;
    }
    // Processor time: on a shared machine the wall time mostly says how
    // long the process waited for a processor.
    state.SetIterationTime(run.cpuSeconds);
    state.counters["wall_s"] = run.seconds;
    state.counters["peak_bytes"] = run.peakBytes;
  }
  // Outside the timing: it really wrote every light.
  if (linesIn(workspace->output) != expectedLines(lights)) {
    state.SkipWithError("ddhost's RIB does not hold every light");
  }
}

// Peak memory only: the script is streamed, not held.
void runComments(benchmark::State& state) {
  for (auto _ : state) {
    const auto run =
        benchsupport::runMeasured(workspace->ddhost, {workspace->comments.string(), "-o", workspace->output.string()});
    if (run.exitStatus != 0) {
      state.SkipWithError(("ddhost exited with status " + std::to_string(run.exitStatus)).c_str());
      return;
    }
    state.SetIterationTime(run.cpuSeconds);
    state.counters["peak_bytes"] = run.peakBytes;
  }
  // One light without an image: three lines, and four around them.
  if (linesIn(workspace->output) != 3 + 4) {
    state.SkipWithError("ddhost's RIB does not hold the light after the comments");
  }
}

void writeComments(const fs::path& path) {
  std::ofstream out(path, std::ios::binary);
  const std::string line = "# " + std::string(97, 'c') + "\n";
  for (std::size_t written = 0; written < kCommentBytes; written += line.size()) {
    out << line;
  }
  out << "LumoxIndirect {\n}\n";
  if (!out.flush()) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

std::string nameOf(int lights) {
  return lights == 0 ? "scale/empty_scene" : "scale/" + std::to_string(lights) + "_lights";
}

void registerScenes() {
  for (const int lights : sizes) {
    benchmark::RegisterBenchmark(nameOf(lights).c_str(), runScene, lights)
        ->Iterations(1)
        ->Repetitions(lights >= kLarge ? (lights >= kMillion ? 1 : 3) : 5)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark(kCommentsName, runComments)
      ->Iterations(1)
      ->Repetitions(1)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
}

bool prepare() {
  try {
    workspace = std::make_unique<Workspace>();
    workspace->ddhost = ddhostProgram();
    workspace->output = workspace->dir.path() / "scene.rib";
    if (!fs::exists(workspace->ddhost)) {
      throw std::runtime_error("no ddhost at " + workspace->ddhost + " (set LUMOX_BENCH_DDHOST)");
    }
    for (const int lights : sizes) {
      const fs::path script = workspace->dir.path() / (std::to_string(lights) + ".ddscript");
      testsupport::writeFile(script, lights == 0 ? std::string("# nothing\n") : benchsupport::sceneScript(lights));
      workspace->scripts[lights] = script;
    }
    workspace->comments = workspace->dir.path() / "comments.ddscript";
    writeComments(workspace->comments);
    std::printf("ddhost: %s\nscenes: one plate and 10,000 / 100,000%s lights\n", workspace->ddhost.c_str(),
                sizes.back() == kMillion ? " / 1,000,000" : "");
    return true;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_ddhost_scale: cannot measure: %s\n", error.what());
    return false;
  }
}

void summarise(const benchsupport::Collector& results) {
  using namespace benchsupport;
  const auto empty = results.seconds(nameOf(0));
  const auto perLight = [&](int lights) { return scaled(difference(results.seconds(nameOf(lights)), empty), 1e6 / lights); };
  const auto small = perLight(kSmall);
  const auto large = perLight(kLarge);
  const auto million = perLight(kMillion);
  const auto smallPeak = results.counter(nameOf(kSmall), "peak_bytes");
  const auto largePeak = results.counter(nameOf(kLarge), "peak_bytes");
  const auto growth = scaled(difference(largePeak, smallPeak), 1.0 / (kLarge - kSmall));

  printHeading("Summary (fastest run; each ratio is to a figure measured in this run)");
  printValue("peak resident size, 10,000 lights", scaled(smallPeak, 1e-6), "MB");
  printValue("peak resident size, 100,000 lights", scaled(largePeak, 1e-6), "MB");
  printValue("peak resident size, 1,000,000 lights", scaled(results.counter(nameOf(kMillion), "peak_bytes"), 1e-6),
             "MB");
  printValue("memory per light, (peak(100k) - peak(10k)) / 90,000", growth, "bytes", kKilobyte);
  const auto emptyPeak = results.counter(nameOf(0), "peak_bytes");
  const auto commentsPeak = results.counter(kCommentsName, "peak_bytes");
  printValue("peak resident size, 300 MB of comments and one light", scaled(commentsPeak, 1e-6), "MB");
  printValue("the same above the empty scene's peak", scaled(difference(commentsPeak, emptyPeak), 1e-6), "MB",
             kCommentsGoalMegabytes, "(the script is streamed, not held)");
  printValue("time per light, 10,000 lights", small, "us", std::nullopt,
             "(processor time less the empty scene's)");
  printValue("time per light, 100,000 lights", large, "us");
  printValue("time per light, 1,000,000 lights", million, "us", std::nullopt,
             million ? "" : "(run with --million)");
  printRatio("per light, 100,000 / 10,000", large, small);
  printRatio("per light, 1,000,000 / 10,000", million, small, 1.25);
  printNote("MB here is 10^6 bytes; peaks are the largest over the repetitions.");
}

}  // namespace

int main(int argc, char** argv) {
  // --million adds the million-light scene (about 280 MB of RIB).
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--million") == 0) {
      sizes.push_back(kMillion);
    } else {
      rest.push_back(argv[i]);
    }
  }
  registerScenes();
  return benchsupport::runBenchmarks(static_cast<int>(rest.size()), rest.data(), prepare, summarise);
}
