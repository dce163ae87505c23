// ddhost as a user runs it: a process that reads a script of 10,000 lights
// and writes their RIB to a file, against writing the same bytes with one
// fwrite. A run with an empty scene shows the part that does not grow with
// the scene (start-up, plug-in loading), against a program that links only
// the C++ runtime.
#include <bench/MeasuredRun.h>
#include <bench/SceneScript.h>
#include <bench/Summary.h>

#include <harness/Files.h>
#include <harness/Process.h>
#include <harness/TestPaths.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kLights = 10000;
// With start-up included: start-up no longer counts once it is small.
constexpr double kThroughputGoal = 0.011;
constexpr double kStartUpGoal = 3.0;
constexpr double kStartUpPeakGoalMegabytes = 16.0;
constexpr double kMegabyte = 1e6;  // as every figure of the benchmarks gives it

struct Workspace {
  testsupport::TemporaryDirectory dir;
  fs::path script;
  fs::path emptyScript;
  fs::path output;
  fs::path floorOutput;
  std::string ddhost;
  std::string rib;  // what ddhost wrote on its first run
};

std::unique_ptr<Workspace> workspace;

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) {
    ++count;
  }
  return count;
}

int runDdhost(const fs::path& script) {
  return testsupport::runProcess(workspace->ddhost, {script.string(), "-o", workspace->output.string()}).exitStatus;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void timeDdhost(benchmark::State& state, const fs::path& script) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int status = runDdhost(script);
    state.SetIterationTime(secondsSince(start));
    if (status != 0) {
      state.SkipWithError(("ddhost exited with status " + std::to_string(status)).c_str());
      break;
    }
  }
}

void ddhostLargeScene(benchmark::State& state) {
  timeDdhost(state, workspace->script);
  std::error_code error;
  if (fs::file_size(workspace->output, error) != workspace->rib.size() || error) {
    state.SkipWithError("ddhost wrote a RIB of another size than on its first run");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(workspace->rib.size()));
}

void ddhostEmptyScene(benchmark::State& state) {
  timeDdhost(state, workspace->emptyScript);
}

// Processor time and peak resident size of a whole process: on a shared
// machine the wall time of so short a run is mostly waiting.
void timeStartUp(benchmark::State& state, const std::string& program, const std::vector<std::string>& arguments) {
  for (auto _ : state) {
    const auto run = benchsupport::runMeasured(program, arguments);
    if (run.exitStatus != 0) {
      state.SkipWithError((program + " exited with status " + std::to_string(run.exitStatus)).c_str());
      return;
    }
    state.SetIterationTime(run.cpuSeconds);
    state.counters["peak_bytes"] = run.peakBytes;
  }
}

void ddhostStartUp(benchmark::State& state) {
  timeStartUp(state, workspace->ddhost, {workspace->emptyScript.string()});
}

void cxxProgramFloor(benchmark::State& state) {
  timeStartUp(state, LUMOX_BENCH_CXX_PROGRAM, {});
}

// Into a new file each time: truncating the last one would add the cost of
// dropping its pages, which is not writing.
void fwriteFloor(benchmark::State& state) {
  const std::string& bytes = workspace->rib;
  for (auto _ : state) {
    state.PauseTiming();
    std::error_code ignored;
    fs::remove(workspace->floorOutput, ignored);
    state.ResumeTiming();
    std::FILE* file = std::fopen(workspace->floorOutput.c_str(), "wb");
    if (file == nullptr) {
      state.SkipWithError("cannot open the floor's file");
      break;
    }
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    if (std::fclose(file) != 0 || written != bytes.size()) {
      state.SkipWithError("fwrite failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

std::string ddhostProgram() {
  const char* given = std::getenv("LUMOX_BENCH_DDHOST");
  return given != nullptr && *given != '\0' ? given : LUMOX_BENCH_DDHOST;
}

// Writes the scripts, and runs ddhost once: it must succeed and write every
// light, or the timings would be of something else. That run's RIB is what
// the floor writes.
bool prepare() {
  try {
    workspace = std::make_unique<Workspace>();
    const fs::path& dir = workspace->dir.path();
    workspace->script = dir / "scene.ddscript";
    workspace->emptyScript = dir / "empty.ddscript";
    workspace->output = dir / "scene.rib";
    workspace->floorOutput = dir / "floor.rib";
    workspace->ddhost = ddhostProgram();
    testsupport::writeFile(workspace->script, benchsupport::sceneScript(kLights));
    testsupport::writeFile(workspace->emptyScript, "# nothing\n");
    if (!fs::exists(workspace->ddhost)) {
      throw std::runtime_error("no ddhost at " + workspace->ddhost + " (set LUMOX_BENCH_DDHOST)");
    }
    const int status = runDdhost(workspace->script);
    if (status != 0) {
      throw std::runtime_error("ddhost exited with status " + std::to_string(status));
    }
    workspace->rib = testsupport::readFile(workspace->output);
    const std::size_t lights = occurrences(workspace->rib, "LightSource \"ovLumoxIndirect\"");
    const std::size_t images = occurrences(workspace->rib, "# exported image \"Plate\"");
    if (lights != kLights || images != kLights) {
      throw std::runtime_error("ddhost's RIB holds " + std::to_string(lights) + " lights and " +
                               std::to_string(images) + " exported images, not " + std::to_string(kLights));
    }
    std::printf("ddhost: %s\nscene: %d lights, one plate; RIB %zu bytes\n", workspace->ddhost.c_str(), kLights,
                workspace->rib.size());
    return true;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_ddhost: cannot measure: %s\n", error.what());
    return false;
  }
}

void summarise(const benchsupport::Collector& results) {
  using namespace benchsupport;
  const double megabytes = static_cast<double>(workspace->rib.size()) / 1e6;
  const auto large = results.seconds("ddhost/10000_lights");
  const auto empty = results.seconds("ddhost/empty_scene");
  const auto floor = results.seconds("floor/one_fwrite");
  const auto rate = [megabytes](std::optional<double> seconds) -> std::optional<double> {
    if (!seconds || *seconds <= 0) {
      return std::nullopt;
    }
    return megabytes / *seconds;
  };

  printHeading("Summary (fastest run; each ratio is to a floor measured in this run)");
  printValue("floor: one fwrite of the RIB", rate(floor), "MB/s");
  printValue("ddhost, 10,000 lights, wall time per run", scaled(large, 1e3), "ms");
  printValue("ddhost, 10,000 lights, RIB throughput", rate(large), "MB/s");
  // Five times the 0.003 this ratio was before the host's scene model was
  // made to scale.
  printRatioAtLeast("ddhost throughput/fwrite throughput", rate(large), rate(floor), kThroughputGoal);
  printValue("ddhost, empty scene, wall time per run", scaled(empty, 1e3), "ms", std::nullopt,
             "(start-up and plug-in loading)");
  printValue("ddhost, scene-dependent part only", rate(difference(large, empty)), "MB/s");
  printRatio("  its throughput/fwrite throughput", rate(difference(large, empty)), rate(floor));

  const auto startUp = results.seconds("ddhost/start_up");
  const auto cxxProgram = results.seconds("floor/cxx_runtime_program");
  printValue("ddhost start-up (no nodes, no viewer), processor time", scaled(startUp, 1e3), "ms");
  printValue("floor: a program linking only the C++ runtime", scaled(cxxProgram, 1e3), "ms");
  printRatio("ddhost start-up/that program's", startUp, cxxProgram, kStartUpGoal);
  printValue("ddhost start-up, peak resident size",
             scaled(results.counter("ddhost/start_up", "peak_bytes"), 1.0 / kMegabyte), "MB",
             kStartUpPeakGoalMegabytes);
  printValue("  that program's", scaled(results.counter("floor/cxx_runtime_program", "peak_bytes"), 1.0 / kMegabyte),
             "MB");
  printNote("MB here is 10^6 bytes; the table's bytes_per_second counts 2^20.");
}

}  // namespace

BENCHMARK(ddhostLargeScene)
    ->Name("ddhost/10000_lights")
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ddhostEmptyScene)
    ->Name("ddhost/empty_scene")
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ddhostStartUp)
    ->Name("ddhost/start_up")
    ->Iterations(20)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(cxxProgramFloor)
    ->Name("floor/cxx_runtime_program")
    ->Iterations(20)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(fwriteFloor)->Name("floor/one_fwrite")->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  return benchsupport::runBenchmarks(argc, argv, prepare, summarise);
}
