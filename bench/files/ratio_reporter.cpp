#include "ratio_reporter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::vector<Ratio> ratios) : ratios_(std::move(ratios)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      Times& t = times_[run.run_name.function_name];
      const double ms = run.GetAdjustedRealTime();
      if (run.run_type == Run::RT_Iteration) t.median = t.min = ms;  // one repetition only
      else if (run.aggregate_name == "median") t.median = ms;
      else if (run.aggregate_name == "min") t.min = ms;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nCPU time as a ratio to the baseline (same run)     median    min\n");
    for (const Ratio& r : ratios_) {
      const auto it = times_.find(r.name), base = times_.find(r.baseline);
      if (it == times_.end() || base == times_.end()) continue;
      const std::string label = r.name + " / " + r.baseline;
      std::printf("  %-48s %6.3f %6.3f\n", label.c_str(), it->second.median / base->second.median,
                  it->second.min / base->second.min);
    }
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
      std::printf("load average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  }

 private:
  struct Times {
    double median = 0, min = 0;
  };
  std::vector<Ratio> ratios_;
  std::map<std::string, Times> times_;
};

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace

benchmark::internal::Benchmark* AddCpuBenchmark(const std::string& name,
                                                void (*fn)(benchmark::State&), int iterations) {
  return benchmark::RegisterBenchmark(name.c_str(), fn)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(iterations)
      ->ComputeStatistics("min", Min);
}

int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios) {
  std::vector<char*> args(argv, argv + argc);
  const bool repetitionsGiven = std::any_of(args.begin(), args.end(), [](const char* a) {
    return std::strncmp(a, "--benchmark_repetitions", 23) == 0;
  });
  char repetitions[] = "--benchmark_repetitions=7";
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
  if (!repetitionsGiven) args.insert(args.begin() + 1, {repetitions, interleave, aggregatesOnly});
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  double load[3] = {};
  if (getloadavg(load, 3) == 3)
    std::printf("load average at the start: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  RatioReporter reporter(ratios);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

double ProcessCpuSeconds() {
  struct timespec ts {};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
