// Console output plus, at the end, each benchmark's time as a ratio to a
// baseline measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::string baseline) : baseline_(std::move(baseline)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      times_[run.benchmark_name()] = run.GetAdjustedRealTime();
      order_.push_back(run.benchmark_name());
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    double base = 0;
    for (const auto& [name, t] : times_)
      if (name.rfind(baseline_, 0) == 0) base = t;
    if (base <= 0) return;
    std::printf("\nTime as a ratio to %s (same run):\n", baseline_.c_str());
    for (const auto& name : order_)
      std::printf("  %-60s %6.3f\n", name.c_str(), times_[name] / base);
  }

 private:
  std::string baseline_;
  std::map<std::string, double> times_;
  std::vector<std::string> order_;
};
