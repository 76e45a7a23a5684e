// The file scan against minimal C walkers on a synthetic tree of 200,000
// entries (warm page cache); the agent's CPU time and peak memory on that
// tree and on the whole host with the example settings.
//
// FILES_BENCH_BASELINE_AGENT=<path of another build of scanunix> adds the
// agent runs of that build, interleaved with this one's, as their baselines.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "agent_run.h"
#include "bench_tree.h"
#include "files/file_scan.h"
#include "minimal_walker.h"
#include "ratio_reporter.h"

namespace {

constexpr unsigned long kEntries = 200000;

const BenchTree& Tree() {
  static const BenchTree tree = MakeBenchTree(kEntries);
  return tree;
}

// The tree walked once, untimed, at the start of every repetition, so
// each starts with its heads cached: this machine evicts idle pages, and
// the scan gives back the heads it had to read from the disk, where the
// minimal walkers keep them.
const BenchTree& WarmTree() {
  MinimalWalkCounts warm{};
  MinimalWalk(Tree().root.c_str(), kMinimalSafeRead, &warm);
  return Tree();
}

template <MinimalWalkMode kMode>
void BM_Minimal(benchmark::State& state) {
  const BenchTree& tree = WarmTree();
  MinimalWalkCounts counts{};
  for (auto _ : state) {
    counts = {};
    const double start = ProcessCpuSeconds();
    MinimalWalk(tree.root.c_str(), kMode, &counts);
    state.SetIterationTime(ProcessCpuSeconds() - start);
  }
  state.counters["entries"] = static_cast<double>(counts.entries);
  state.counters["elf"] = static_cast<double>(counts.elf);
}

void ScanOnce(benchmark::State& state, FileScanOptions options, int logLevel = Log::kSilent) {
  const BenchTree& tree = WarmTree();
  std::ofstream out("/dev/null"), console("/dev/null");
  DocumentWriter document(out);
  Log log(logLevel, console, console);
  FileScanCounters counters;
  for (auto _ : state) {
    const double start = ProcessCpuSeconds();
    counters = ScanFiles(tree.root, options, document, log);
    state.SetIterationTime(ProcessCpuSeconds() - start);
  }
  state.counters["entries"] = counters.entries;
  state.counters["rows"] = counters.rows;
}

FileScanOptions Options(bool allFiles, std::vector<std::string> ignore = {}) {
  FileScanOptions options;
  options.allFiles = allFiles;
  options.ignoreValues = std::move(ignore);
  return options;
}

void BM_ScanFiles(benchmark::State& state) { ScanOnce(state, Options(false)); }
void BM_ScanFilesAllFiles(benchmark::State& state) { ScanOnce(state, Options(true)); }
void BM_ScanFilesWithProgressLine(benchmark::State& state) {
  ScanOnce(state, Options(false), Log::kDisplay);
}
void BM_ScanFilesWithIgnoreValues(benchmark::State& state) {
  ScanOnce(state, Options(false, {"/proc/", "/sys", "*cache*", "*.snapshot", "/MNT/"}));
}

// The whole agent as a child of the small launcher, which reports its CPU
// time and peak RSS. `settings` holds an empty "OutputFolder=" line.
void RunAgentOn(benchmark::State& state, const char* agent, std::string settings,
                const std::string& root) {
  const std::string dir = Tree().root + ".out";
  std::filesystem::create_directories(dir);
  const std::string ini = dir + "/bench.ini";
  const std::string folder = "\nOutputFolder=";
  settings.insert(settings.find(folder) + folder.size(), dir);
  std::ofstream(ini) << settings;
  long maxRss = 0;
  for (auto _ : state) {
    const AgentRun run = RunAgent(agent, ini, root);
    state.SetIterationTime(run.cpuSeconds);
    maxRss = std::max(maxRss, run.peakRssKiB);
    if (!run.ok) state.SkipWithError("agent failed");
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  state.counters["peak_rss_KiB"] = static_cast<double>(maxRss);
}

const char* BaselineAgent() { return std::getenv("FILES_BENCH_BASELINE_AGENT"); }

template <bool kBaseline>
const char* Agent() { return kBaseline ? BaselineAgent() : BuiltAgent(); }

constexpr char kTreeSettings[] = "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\nLog=0\nOutputFolder=\n";

template <bool kBaseline>
void BM_AgentWholeTree(benchmark::State& state) {
  RunAgentOn(state, Agent<kBaseline>(), kTreeSettings, WarmTree().root);
}
template <bool kBaseline>
void BM_AgentWholeTreeAllFiles(benchmark::State& state) {
  RunAgentOn(state, Agent<kBaseline>(), kTreeSettings + std::string("AllFiles=1\n"),
             WarmTree().root);
}
// The example settings (the kernel and runtime file systems ignored, the
// packages and shortcuts listed) on "/".
template <bool kBaseline>
void BM_AgentWholeHost(benchmark::State& state) {
  std::ifstream example(SCANUNIX_EXAMPLE_SETTINGS);
  RunAgentOn(state, Agent<kBaseline>(),
             std::string(std::istreambuf_iterator<char>(example), {}), "/");
}

}  // namespace

int main(int argc, char** argv) {
  AddCpuBenchmark("BM_MinimalStat", BM_Minimal<kMinimalStat>, 3);
  AddCpuBenchmark("BM_MinimalSafeRead", BM_Minimal<kMinimalSafeRead>, 3);
  AddCpuBenchmark("BM_ScanFiles", BM_ScanFiles, 3);
  AddCpuBenchmark("BM_ScanFilesAllFiles", BM_ScanFilesAllFiles, 3);
  AddCpuBenchmark("BM_ScanFilesWithProgressLine", BM_ScanFilesWithProgressLine, 3);
  AddCpuBenchmark("BM_ScanFilesWithIgnoreValues", BM_ScanFilesWithIgnoreValues, 3);
  AddCpuBenchmark("BM_AgentWholeTree", BM_AgentWholeTree<false>);
  AddCpuBenchmark("BM_AgentWholeTreeAllFiles", BM_AgentWholeTreeAllFiles<false>);
  AddCpuBenchmark("BM_AgentWholeHost", BM_AgentWholeHost<false>);
  std::vector<Ratio> ratios = {{"BM_ScanFiles", "BM_MinimalSafeRead"},
                               {"BM_ScanFilesWithProgressLine", "BM_MinimalSafeRead"},
                               {"BM_ScanFilesWithIgnoreValues", "BM_MinimalSafeRead"},
                               {"BM_ScanFilesAllFiles", "BM_MinimalStat"},
                               {"BM_AgentWholeTree", "BM_MinimalSafeRead"},
                               {"BM_AgentWholeTreeAllFiles", "BM_MinimalStat"}};
  if (BaselineAgent()) {
    AddCpuBenchmark("BM_BaselineAgentWholeTree", BM_AgentWholeTree<true>);
    AddCpuBenchmark("BM_BaselineAgentWholeTreeAllFiles", BM_AgentWholeTreeAllFiles<true>);
    AddCpuBenchmark("BM_BaselineAgentWholeHost", BM_AgentWholeHost<true>);
    for (const char* name : {"BM_AgentWholeTree", "BM_AgentWholeTreeAllFiles", "BM_AgentWholeHost"})
      ratios.push_back({name, std::string("BM_Baseline") + (name + 3)});
  }
  return RunWithRatios(argc, argv, ratios);
}
