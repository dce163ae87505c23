// Running a benchmark program and printing its figures as ratios to the
// floors it measured.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace benchsupport {

// The console report, showing of each benchmark only its fastest
// repetition (as "NAME_fastest"), which is also what the summary uses: on a
// shared machine other work only ever adds time, so the fastest repetition
// is the closest to the cost itself.
class Collector : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override;

  // Benchmarks are named as registered, with their arguments ("emitScene/1000")
  // but without the run settings ("iterations:1", "manual_time").
  static std::string nameOf(const Run& run);

  // Seconds per iteration of the fastest repetition; nullopt when the
  // benchmark did not run (filtered out) or reported an error.
  std::optional<double> seconds(const std::string& name) const;
  // The largest value over the repetitions, so that allocations seen in any
  // one of them are not hidden.
  std::optional<double> counter(const std::string& name, const std::string& counter) const;

private:
  struct Samples {
    std::vector<double> seconds;
    std::map<std::string, std::vector<double>> counters;
    bool failed = false;
  };
  std::map<std::string, Samples> samples_;
};

// Runs the registered benchmarks with short defaults (0.1 s each, five
// repetitions) that flags on the command line override. `prepare`
// runs after the flags are read and may refuse to go on by returning false;
// `summarise` prints the figures afterwards. Returns the exit status.
int runBenchmarks(int argc, char** argv, const std::function<bool()>& prepare,
                  const std::function<void(const Collector&)>& summarise);

// Summary lines: "label = 1.12 (goal <= 1.30: met)". A missing figure
// prints as "not measured" rather than as a number.
void printHeading(const std::string& text);
void printRatio(const std::string& label, std::optional<double> numerator, std::optional<double> denominator,
                std::optional<double> goalAtMost = std::nullopt, const std::string& note = {});
// The same with a goal from below: "ratio = 0.02 (goal >= 0.015: met)".
void printRatioAtLeast(const std::string& label, std::optional<double> numerator, std::optional<double> denominator,
                       double goalAtLeast, const std::string& note = {});
void printValue(const std::string& label, std::optional<double> value, const std::string& unit,
                std::optional<double> goalAtMost = std::nullopt, const std::string& note = {});
void printNote(const std::string& text);

// The difference of two figures, when both were measured.
std::optional<double> difference(std::optional<double> a, std::optional<double> b);
std::optional<double> scaled(std::optional<double> value, double factor);

}  // namespace benchsupport
