// emitLight into the stand-in renderer with its transcript off and no RIB
// output open, so what is left is the renderer's entry cost. The floor makes
// the same three library calls with a parameter list built once, so
// emitLight/floor is what the light itself adds.
#include <bench/AllocationCounter.h>
#include <bench/Summary.h>

#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Node.h>
#include <standin/lumox/RibOutput.h>
#include <standin/lumox/Transcript.h>

#include <lumoxindirect/InputExporter.h>
#include <lumoxindirect/LumoxIndirectBase.h>
#include <lumoxindirect/RenderOptions.h>

#include <DDImage/Op.h>
#include <Lumox/Lumox.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using benchsupport::allocations;
using lumoxindirect::LumoxIndirectBase;

constexpr const char* kShader = "ovLumoxIndirect";
constexpr std::int64_t kSceneSizes[] = {1000, 10000, 100000};

// The light's eight fixed entries at its default values.
struct FloorParameters {
  std::int32_t samples = 4;
  float color[3] = {1.0f, 1.0f, 1.0f};
  float exposure = 0.0f;
  float decay = 2.0f;
  float bias = 0.1f;
  float maxdist = 10.0f;
  std::int32_t depth = 1;
  std::int32_t hitmode = 1;
  std::array<LxToken, 8> declarations{"int samples",  "color color0",  "float exposure", "float decay",
                                      "float bias",   "float maxdist", "int maxDdepth",  "int hitmode"};
  std::array<LxPointer, 8> values{&samples, color, &exposure, &decay, &bias, &maxdist, &depth, &hitmode};
};

const FloorParameters floorParameters;

void emitFloor() {
  LxTransformBegin();
  LxLightSourceV(kShader, static_cast<int>(floorParameters.declarations.size()),
                 floorParameters.declarations.data(), floorParameters.values.data());
  LxTransformEnd();
}

// A bridge that hands every image over and keeps no record of it, so that it
// adds nothing of its own to the figures.
class AcceptingExporter final : public lumoxindirect::InputExporter {
public:
  void beginLight(const DD::Image::Op* /*light*/) override {}
  void endLight(const DD::Image::Op* /*light*/) override {}
  bool exportInput(DD::Image::Iop* image, bool /*asTexture*/, bool /*premultiplied*/) override {
    accepted += image != nullptr ? 1 : 0;
    return image != nullptr;
  }
  std::int64_t accepted = 0;
};

struct Stage {
  standin::ddimage::Graph graph;
  LumoxIndirectBase* bare = nullptr;  // nothing connected
  DD::Image::Op* litOp = nullptr;     // a Constant on input 0
  LumoxIndirectBase* lit = nullptr;
};

std::unique_ptr<Stage> stage;

struct Scene {
  standin::ddimage::Graph graph;
  std::vector<LumoxIndirectBase*> lights;
};

// Built on first use, outside the timed loop, and kept for the repetitions.
Scene& sceneOf(std::int64_t size) {
  static std::map<std::int64_t, std::unique_ptr<Scene>> scenes;
  std::unique_ptr<Scene>& scene = scenes[size];
  if (!scene) {
    scene = std::make_unique<Scene>();
    scene->lights.reserve(static_cast<std::size_t>(size));
    for (std::int64_t i = 0; i < size; ++i) {
      scene->lights.push_back(dynamic_cast<LumoxIndirectBase*>(scene->graph.create("LumoxIndirect")));
    }
  }
  return *scene;
}

// Read before the counter is stored: storing it allocates.
void countAllocations(benchmark::State& state, std::uint64_t before, double perIteration = 1.0) {
  const double made = static_cast<double>(allocations() - before) / perIteration;
  state.counters["allocs/op"] = benchmark::Counter(made, benchmark::Counter::kAvgIterations);
}

// The stand-in host appends every host call an op makes to its node's
// record. Emptied every so many calls, outside the timing, into capacity
// reserved beforehand, so the record never reallocates while measured.
class HostRecord {
public:
  static constexpr std::size_t kCallsBetweenClears = 4096;

  HostRecord(DD::Image::Op* op, std::size_t entriesPerCall) : calls_(standin::ddimage::nodeOf(op).calls) {
    calls_.clear();
    calls_.reserve(entriesPerCall * kCallsBetweenClears);
  }

  void afterCall(benchmark::State& state) {
    if (++sinceClear_ == kCallsBetweenClears) {
      state.PauseTiming();
      calls_.clear();
      state.ResumeTiming();
      sinceClear_ = 0;
    }
  }

private:
  std::vector<std::string>& calls_;
  std::size_t sinceClear_ = 0;
};

void floorCalls(benchmark::State& state) {
  const std::uint64_t before = allocations();
  for (auto _ : state) {
    emitFloor();
  }
  countAllocations(state, before);
}

void emitWithoutExporter(benchmark::State& state) {
  const lumoxindirect::RenderOptions options;
  LumoxIndirectBase* light = stage->bare;
  const std::uint64_t before = allocations();
  for (auto _ : state) {
    benchmark::DoNotOptimize(light->emitLight(options, nullptr, false));
  }
  countAllocations(state, before);
}

// How many host calls one emission with an accepted image records.
std::size_t hostEntriesPerEmission() {
  std::vector<std::string>& calls = standin::ddimage::nodeOf(stage->litOp).calls;
  calls.clear();
  AcceptingExporter exporter;
  stage->lit->emitLight(lumoxindirect::RenderOptions{}, &exporter, false);
  const std::size_t entries = calls.size();
  calls.clear();
  return std::max<std::size_t>(entries, 1);
}

void emitWithAcceptedImage(benchmark::State& state) {
  const lumoxindirect::RenderOptions options;
  LumoxIndirectBase* light = stage->lit;
  HostRecord record(stage->litOp, hostEntriesPerEmission());
  AcceptingExporter exporter;
  const std::uint64_t before = allocations();
  for (auto _ : state) {
    benchmark::DoNotOptimize(light->emitLight(options, &exporter, false));
    record.afterCall(state);
  }
  countAllocations(state, before);
  if (exporter.accepted != static_cast<std::int64_t>(state.iterations())) {
    state.SkipWithError("the image was not offered to the exporter once per call");
  }
}

// The two host calls an emission with one input makes, alone: how much of
// the figure above is the stand-in host's recording of them.
void hostInputCalls(benchmark::State& state) {
  DD::Image::Op* op = stage->litOp;
  HostRecord record(op, 2);
  const std::uint64_t before = allocations();
  for (auto _ : state) {
    benchmark::DoNotOptimize(op->inputs());
    benchmark::DoNotOptimize(op->input(0));
    record.afterCall(state);
  }
  countAllocations(state, before);
}

void emitScene(benchmark::State& state) {
  const std::int64_t size = state.range(0);
  const Scene& scene = sceneOf(size);
  const lumoxindirect::RenderOptions options;
  const std::uint64_t before = allocations();
  for (auto _ : state) {
    for (LumoxIndirectBase* light : scene.lights) {
      benchmark::DoNotOptimize(light->emitLight(options, nullptr, false));
    }
  }
  state.SetItemsProcessed(state.iterations() * size);
  countAllocations(state, before, static_cast<double>(size));
}

std::vector<std::string> functions(const std::vector<standin::lumox::Call>& calls) {
  std::vector<std::string> names;
  for (const auto& call : calls) {
    names.push_back(call.function);
  }
  return names;
}

const standin::lumox::Call& declaration(const std::vector<standin::lumox::Call>& calls) {
  const std::vector<std::string> expected = {"LxTransformBegin", "LxLightSourceV", "LxTransformEnd"};
  if (functions(calls) != expected) {
    throw std::runtime_error("not the three calls the floor makes");
  }
  return calls[1];
}

std::vector<std::string> declared(const standin::lumox::Call& call) {
  std::vector<std::string> texts;
  for (const auto& parameter : call.parameters) {
    texts.push_back(parameter.declaration.value_or("(null)"));
  }
  return texts;
}

// Sets the stage up and makes sure each benchmark compares like with like:
// the light and the floor make the same calls with the same entries, and the
// connected image is really exported. Recording is switched off afterwards.
bool prepare() {
  try {
    benchsupport::requireLibraryAllocationsCounted();
    standin::lumox::reset();
    standin::lumox::setInitMode(standin::lumox::InitMode::Succeed);
    standin::lumox::closeOutput();
    DD::Image::Op::print_name_cb = standin::ddimage::printNodeName;

    stage = std::make_unique<Stage>();
    stage->bare = dynamic_cast<LumoxIndirectBase*>(stage->graph.create("LumoxIndirect", "Bounce1"));
    DD::Image::Op* plate = stage->graph.create("Constant", "Plate1");
    stage->litOp = stage->graph.create("LumoxIndirect", "Bounce2");
    stage->lit = dynamic_cast<LumoxIndirectBase*>(stage->litOp);
    stage->graph.connect(stage->litOp, 0, plate);
    if (stage->bare == nullptr || stage->lit == nullptr) {
      throw std::runtime_error("LumoxIndirect nodes are not LumoxIndirectBase");
    }
    const auto setup = standin::lumox::transcript();
    if (std::none_of(setup.begin(), setup.end(), [](const standin::lumox::Call& call) {
          return call.function == "Lumox_initLumoxRenderMan" && call.result;
        })) {
      throw std::runtime_error("constructing the node did not initialise the renderer library");
    }

    const lumoxindirect::RenderOptions options;
    standin::lumox::clearTranscript();
    stage->bare->emitLight(options, nullptr, false);
    const auto light = standin::lumox::transcript();
    standin::lumox::clearTranscript();
    emitFloor();
    const auto floor = standin::lumox::transcript();
    if (declared(declaration(light)) != declared(declaration(floor))) {
      throw std::runtime_error("the floor's parameter list differs from the light's");
    }

    standin::lumox::clearTranscript();
    AcceptingExporter exporter;
    stage->lit->emitLight(options, &exporter, false);
    const auto litCalls = standin::lumox::transcript();
    const auto& lit = declaration(litCalls);
    if (lit.count != 9 || lit.parameters.empty() || lit.parameters[0].text != std::optional<std::string>("Plate1")) {
      throw std::runtime_error("the connected image was not declared to the renderer");
    }

    standin::lumox::setRecording(false);
    standin::lumox::clearTranscript();
    return true;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_emission: cannot measure: %s\n", error.what());
    return false;
  }
}

void summarise(const benchsupport::Collector& results) {
  using namespace benchsupport;
  const auto floor = results.seconds("floor/three_library_calls");
  const auto floorAllocs = results.counter("floor/three_library_calls", "allocs/op");
  const auto bare = results.seconds("emitLight/no_exporter");
  const auto bareAllocs = results.counter("emitLight/no_exporter", "allocs/op");
  const auto lit = results.seconds("emitLight/accepted_image");
  const auto litAllocs = results.counter("emitLight/accepted_image", "allocs/op");
  const auto host = results.seconds("host/inputs_and_input0");

  printHeading("Summary (fastest repetition; each ratio is to a floor measured in this run)");
  printValue("floor: TransformBegin + LightSourceV[8] + TransformEnd", scaled(floor, 1e9), "ns");
  printValue("  floor allocations per call (inside the stand-in)", floorAllocs, "");
  printRatio("emitLight/floor, no exporter", bare, floor, 1.3);
  printValue("  allocations per call, all", bareAllocs, "");
  printValue("  allocations per call, the light's own (minus floor)", difference(bareAllocs, floorAllocs), "", 0.0);
  printRatio("emitLight/floor, accepted image", lit, floor);
  printValue("  allocations per call, all", litAllocs, "");
  printValue("  allocations per call, the light's own (minus floor)", difference(litAllocs, floorAllocs), "");
  printRatio("  host's inputs()+input(0) recording/floor", host, floor, std::nullopt,
             "(the stand-in host's share of the figure above)");
  printRatio("  (emitLight - host recording)/floor, accepted image", difference(lit, host), floor);

  std::vector<double> perLight;
  for (const std::int64_t size : kSceneSizes) {
    const auto scene = results.seconds("emitScene/" + std::to_string(size));
    const auto each = scaled(scene, 1e9 / static_cast<double>(size));
    printValue("emitScene/" + std::to_string(size) + " per light", each, "ns");
    printRatio("  per light/floor", scaled(scene, 1.0 / static_cast<double>(size)), floor);
    if (each) {
      perLight.push_back(*each);
    }
  }
  if (perLight.size() == std::size(kSceneSizes)) {
    const auto [least, most] = std::minmax_element(perLight.begin(), perLight.end());
    printRatio("per light, slowest/fastest of the three sizes", *most, *least, 1.25);
  } else {
    printValue("per light, slowest/fastest of the three sizes", std::nullopt, "");
  }
}

}  // namespace

BENCHMARK(floorCalls)->Name("floor/three_library_calls");
BENCHMARK(emitWithoutExporter)->Name("emitLight/no_exporter");
BENCHMARK(emitWithAcceptedImage)->Name("emitLight/accepted_image");
BENCHMARK(hostInputCalls)->Name("host/inputs_and_input0");
BENCHMARK(emitScene)->Name("emitScene")->Arg(kSceneSizes[0])->Arg(kSceneSizes[1])->Arg(kSceneSizes[2]);

int main(int argc, char** argv) {
  return benchsupport::runBenchmarks(argc, argv, prepare, summarise);
}
