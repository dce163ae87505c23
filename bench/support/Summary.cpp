#include <bench/Summary.h>

#include <algorithm>
#include <cstdio>

namespace benchsupport {

namespace {

std::string goalText(double value, std::optional<double> goalAtMost) {
  if (!goalAtMost) {
    return "";
  }
  char text[96];
  if (value <= *goalAtMost) {
    std::snprintf(text, sizeof text, "  (goal <= %.4g: met)", *goalAtMost);
  } else if (*goalAtMost > 0) {
    std::snprintf(text, sizeof text, "  (goal <= %.4g: MISSED by %.0f%%)", *goalAtMost,
                  (value / *goalAtMost - 1.0) * 100.0);
  } else {
    std::snprintf(text, sizeof text, "  (goal <= %.4g: MISSED by %.4g)", *goalAtMost, value - *goalAtMost);
  }
  return text;
}

std::string leastGoalText(double value, double goalAtLeast) {
  char text[96];
  if (value >= goalAtLeast) {
    std::snprintf(text, sizeof text, "  (goal >= %.4g: met)", goalAtLeast);
  } else {
    std::snprintf(text, sizeof text, "  (goal >= %.4g: MISSED, %.2g of it)", goalAtLeast, value / goalAtLeast);
  }
  return text;
}

void printLine(const std::string& label, const std::string& figure, const std::string& goal, const std::string& note) {
  std::printf("  %-56s = %s%s%s%s\n", label.c_str(), figure.c_str(), goal.c_str(), note.empty() ? "" : "  ",
              note.c_str());
}

}  // namespace

std::string Collector::nameOf(const Run& run) {
  const auto& name = run.run_name;
  return name.args.empty() ? name.function_name : name.function_name + "/" + name.args;
}

void Collector::ReportRuns(const std::vector<Run>& runs) {
  std::vector<Run> shown;
  const Run* fastest = nullptr;
  for (const Run& run : runs) {
    if (run.run_type == Run::RT_Aggregate) {
      continue;  // means and deviations are skewed by interference
    }
    Samples& samples = samples_[nameOf(run)];
    if (run.error_occurred) {
      samples.failed = true;
      shown.push_back(run);
      continue;
    }
    samples.seconds.push_back(run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit));
    for (const auto& [name, counter] : run.counters) {
      samples.counters[name].push_back(counter.value);
    }
    if (fastest == nullptr || run.GetAdjustedRealTime() < fastest->GetAdjustedRealTime()) {
      fastest = &run;
    }
  }
  if (fastest != nullptr) {
    Run row = *fastest;
    if (row.repetitions > 1) {
      row.run_type = Run::RT_Aggregate;
      row.aggregate_name = "fastest";
      row.aggregate_unit = benchmark::kTime;
    }
    shown.push_back(row);
  }
  if (!shown.empty()) {
    ConsoleReporter::ReportRuns(shown);
  }
}

std::optional<double> Collector::seconds(const std::string& name) const {
  const auto found = samples_.find(name);
  if (found == samples_.end() || found->second.failed || found->second.seconds.empty()) {
    return std::nullopt;
  }
  return *std::min_element(found->second.seconds.begin(), found->second.seconds.end());
}

std::optional<double> Collector::counter(const std::string& name, const std::string& counter) const {
  const auto found = samples_.find(name);
  if (found == samples_.end() || found->second.failed) {
    return std::nullopt;
  }
  const auto values = found->second.counters.find(counter);
  if (values == found->second.counters.end() || values->second.empty()) {
    return std::nullopt;
  }
  return *std::max_element(values->second.begin(), values->second.end());
}

int runBenchmarks(int argc, char** argv, const std::function<bool()>& prepare,
                  const std::function<void(const Collector&)>& summarise) {
  // Defaults first: flags later on the line override earlier ones.
  std::vector<std::string> texts = {argc > 0 ? argv[0] : "bench", "--benchmark_min_time=0.1",
                                    "--benchmark_repetitions=5"};
  for (int i = 1; i < argc; ++i) {
    texts.emplace_back(argv[i]);
  }
  std::vector<char*> arguments;
  for (std::string& text : texts) {
    arguments.push_back(text.data());
  }
  arguments.push_back(nullptr);
  int count = static_cast<int>(texts.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) {
    return 2;
  }
  if (!prepare()) {
    return 1;
  }
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  std::printf("\n");
  summarise(collector);
  std::fflush(stdout);
  benchmark::Shutdown();
  return 0;
}

void printHeading(const std::string& text) {
  std::printf("%s\n", text.c_str());
}

namespace {

// Both kinds of goal print a ratio the same way; only the verdict differs.
template <typename Verdict>
void printRatioWith(const std::string& label, std::optional<double> numerator, std::optional<double> denominator,
                    const std::string& note, Verdict verdict) {
  if (!numerator || !denominator || *denominator <= 0) {
    printLine(label, "not measured", "", note);
    return;
  }
  const double ratio = *numerator / *denominator;
  char figure[32];
  std::snprintf(figure, sizeof figure, "%.3g", ratio);
  printLine(label, figure, verdict(ratio), note);
}

}  // namespace

void printRatio(const std::string& label, std::optional<double> numerator, std::optional<double> denominator,
                std::optional<double> goalAtMost, const std::string& note) {
  printRatioWith(label, numerator, denominator, note, [&](double ratio) { return goalText(ratio, goalAtMost); });
}

void printRatioAtLeast(const std::string& label, std::optional<double> numerator, std::optional<double> denominator,
                       double goalAtLeast, const std::string& note) {
  printRatioWith(label, numerator, denominator, note,
                 [&](double ratio) { return leastGoalText(ratio, goalAtLeast); });
}

void printValue(const std::string& label, std::optional<double> value, const std::string& unit,
                std::optional<double> goalAtMost, const std::string& note) {
  if (!value) {
    printLine(label, "not measured", "", note);
    return;
  }
  char figure[48];
  std::snprintf(figure, sizeof figure, "%.4g%s%s", *value, unit.empty() ? "" : " ", unit.c_str());
  printLine(label, figure, goalText(*value, goalAtMost), note);
}

void printNote(const std::string& text) {
  std::printf("    %s\n", text.c_str());
}

std::optional<double> difference(std::optional<double> a, std::optional<double> b) {
  if (!a || !b) {
    return std::nullopt;
  }
  return *a - *b;
}

std::optional<double> scaled(std::optional<double> value, double factor) {
  if (!value) {
    return std::nullopt;
  }
  return *value * factor;
}

}  // namespace benchsupport
