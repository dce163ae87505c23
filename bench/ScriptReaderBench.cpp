// ddhost's script reader on one node block of many knobs, the last of
// which repeats the first: the block is read to its end, then rejected.
// Time per knob should not grow with the block.
#include <ddhost/ScriptReader.h>

#include <bench/Summary.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <malloc.h>
#include <ctime>
#include <map>
#include <optional>
#include <string>

namespace {

constexpr int kSmall = 10000;
constexpr int kLarge = 160000;

std::map<int, std::string> blocks;

std::string block(int knobs) {
  std::string text = "Card {\n";
  for (int i = 0; i < knobs - 1; ++i) {
    text += " knob" + std::to_string(i) + " " + std::to_string(i % 100) + "\n";
  }
  return text + " knob0 1\n}\n";
}

// The reader's own processor time: on a shared machine the wall time
// mostly says how long it waited for a processor.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void readBlock(benchmark::State& state) {
  const int knobs = static_cast<int>(state.range(0));
  const std::string& bytes = blocks.at(knobs);
  for (auto _ : state) {
    const double start = threadSeconds();
    std::optional<ddhost::ScriptError> error;
    try {
      ddhost::ScriptReader reader(bytes);
      while (reader.next()) {
      }
    } catch (const ddhost::ScriptError& thrown) {
      error = thrown;
    }
    state.SetIterationTime(threadSeconds() - start);
    if (!error || error->line != static_cast<std::size_t>(knobs) + 1) {
      state.SkipWithError("the block was not rejected at its repeated knob");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * knobs);
}

bool prepare() {
  // Both blocks read into memory the allocator keeps: the large one's would
  // otherwise be fresh pages from the system on every read, which times the
  // kernel zeroing them rather than the reader.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  for (const int knobs : {kSmall, kLarge}) {
    blocks[knobs] = block(knobs);
  }
  return true;
}

void summarise(const benchsupport::Collector& results) {
  using namespace benchsupport;
  const auto perKnob = [&](int knobs) {
    return scaled(results.seconds("read/" + std::to_string(knobs)), 1e9 / knobs);
  };
  printHeading("Summary (fastest run, processor time; the ratio is of two figures measured in this run)");
  printValue("time per knob, block of 10,000", perKnob(kSmall), "ns");
  printValue("time per knob, block of 160,000", perKnob(kLarge), "ns");
  printRatio("per knob, 160,000 / 10,000", perKnob(kLarge), perKnob(kSmall), 2.0);
}

}  // namespace

BENCHMARK(readBlock)->Name("read")->Arg(kSmall)->Arg(kLarge)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return benchsupport::runBenchmarks(argc, argv, prepare, summarise);
}
