// Runs the registered benchmarks in interleaved repetitions and ends with
// each one's median and fastest time as ratios to its baseline, measured in
// the same run, and the machine's load. The times are CPU seconds (user +
// system) measured by the benchmarks themselves, so other work on a shared
// machine disturbs them less than the wall clock.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

// A benchmark and the one its time is compared with (function names).
struct Ratio {
  std::string name, baseline;
};

// Registers `fn` with the settings every benchmark here uses: manual (CPU)
// time, milliseconds, a fixed number of iterations per repetition, and the
// minimum over the repetitions beside the median.
benchmark::internal::Benchmark* AddCpuBenchmark(const std::string& name,
                                                void (*fn)(benchmark::State&),
                                                int iterations = 1);

// Runs them: 7 repetitions in random interleaved order, aggregates only,
// unless the command line says otherwise. Returns main's status.
int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios);

// CPU time of this process so far, user and system, in seconds.
double ProcessCpuSeconds();
