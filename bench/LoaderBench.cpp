// What a node's construction costs once the renderer library is set up: the
// hand-off against copying and converting the path text alone; and setEnv
// against the C library's setenv.
#include <bench/AllocationCounter.h>
#include <bench/Summary.h>

#include <liblumox/Handoff.h>
#include <liblumox/SetEnv.h>

#include <standin/lumox/Transcript.h>

#include <boost/algorithm/string/replace.hpp>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

using benchsupport::allocations;

// As a Windows host records a plug-in's file: long enough that no string
// holds it without the heap.
constexpr const char* kPluginPath = "C:\\Program Files\\Orvanta\\Suite 3.2\\plugins\\LumoxIndirect.dll";

constexpr const char* kVariable = "LUMOX_BENCH_SETENV";
// "NAME=VALUE" with its terminating NUL fills exactly the 256 bytes that
// Windows' path keeps on the stack.
constexpr std::size_t kEntryBytes = 256;
const std::string kValue(kEntryBytes - std::strlen(kVariable) - 2, 'v');

// Read before the counter is stored: storing it allocates.
void countAllocations(benchmark::State& state, std::uint64_t before) {
  const double made = static_cast<double>(allocations() - before);
  state.counters["allocs/op"] = benchmark::Counter(made, benchmark::Counter::kAvgIterations);
}

void pathFloor(benchmark::State& state) {
  const std::uint64_t before = allocations();
  for (auto _ : state) {
    const std::string path = boost::algorithm::replace_all_copy(std::string(kPluginPath), "\\", "/");
    benchmark::DoNotOptimize(path.data());
  }
  countAllocations(state, before);
}

void handOff(benchmark::State& state) {
  standin::lumox::clearTranscript();
  const std::uint64_t before = allocations();
  for (auto _ : state) {
    liblumox::handOff(kPluginPath);
  }
  countAllocations(state, before);
  // Recording stays on: any library call would show here.
  if (!standin::lumox::transcript().empty()) {
    state.SkipWithError("the hand-off called the renderer library after it was initialised");
  }
}

void setenvFloor(benchmark::State& state) {
  const std::uint64_t before = allocations();
  for (auto _ : state) {
    benchmark::DoNotOptimize(::setenv(kVariable, kValue.c_str(), 1));
  }
  countAllocations(state, before);
}

void setEnv(benchmark::State& state) {
  const std::uint64_t before = allocations();
  int failures = 0;
  for (auto _ : state) {
    failures += liblumox::setEnv(kVariable, kValue.c_str()) != 0 ? 1 : 0;
  }
  countAllocations(state, before);
  if (failures != 0) {
    state.SkipWithError("setEnv failed");
  }
}

// One successful initialisation, as the first node of a session does; then
// every later hand-off must leave the library alone.
bool prepare() {
  try {
    benchsupport::requireLibraryAllocationsCounted();
    standin::lumox::reset();
    standin::lumox::setInitMode(standin::lumox::InitMode::Succeed);
    liblumox::handOff(kPluginPath);
    const auto calls = standin::lumox::transcript();
    if (std::none_of(calls.begin(), calls.end(), [](const standin::lumox::Call& call) {
          return call.function == "Lumox_initLumoxRenderMan" && call.result;
        })) {
      throw std::runtime_error("the first hand-off did not initialise the renderer library");
    }
    if (liblumox::setEnv(kVariable, kValue.c_str()) != 0 || std::getenv(kVariable) == nullptr ||
        kValue != std::getenv(kVariable)) {
      throw std::runtime_error("setEnv did not set the variable");
    }
    return true;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_loader: cannot measure: %s\n", error.what());
    return false;
  }
}

void summarise(const benchsupport::Collector& results) {
  using namespace benchsupport;
  printHeading("Summary (fastest repetition; each ratio is to a floor measured in this run)");
  printValue("floor: std::string copy + replace_all_copy of the path", scaled(results.seconds("floor/path_text"), 1e9),
             "ns");
  printValue("  floor allocations per call", results.counter("floor/path_text", "allocs/op"), "");
  printRatio("handOff/floor, library already initialised", results.seconds("handOff/initialised"),
             results.seconds("floor/path_text"), 2.0);
  printValue("  handOff allocations per call", results.counter("handOff/initialised", "allocs/op"), "");

  printValue("floor: ::setenv, 256-byte entry", scaled(results.seconds("floor/setenv"), 1e9), "ns");
  printRatio("setEnv/::setenv", results.seconds("setEnv/256_byte_entry"), results.seconds("floor/setenv"));
  printValue("  setEnv operator new calls per call", results.counter("setEnv/256_byte_entry", "allocs/op"), "", 0.0,
             "(Linux path)");
  printNote("On Linux setEnv is setenv(3): this counts operator new only; what glibc mallocs inside");
  printNote("setenv is not seen. Windows' path (_putenv with a stack buffer) is not measured here.");
}

}  // namespace

BENCHMARK(pathFloor)->Name("floor/path_text");
BENCHMARK(handOff)->Name("handOff/initialised");
BENCHMARK(setenvFloor)->Name("floor/setenv");
BENCHMARK(setEnv)->Name("setEnv/256_byte_entry");

int main(int argc, char** argv) {
  return benchsupport::runBenchmarks(argc, argv, prepare, summarise);
}
