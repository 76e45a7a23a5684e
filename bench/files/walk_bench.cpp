// The file scan's walk against a minimal C walker on a synthetic tree of
// 200,000 entries (warm page cache), and the agent's peak memory on it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_tree.h"
#include "files/file_scan.h"
#include "minimal_walker.h"
#include "ratio_reporter.h"

namespace {

constexpr unsigned long kEntries = 200000;

const BenchTree& Tree() {
  static const BenchTree tree = [] {
    BenchTree t = MakeBenchTree(kEntries);
    MinimalWalkCounts warm{};
    MinimalWalk(t.root.c_str(), &warm);  // warm the page cache
    return t;
  }();
  return tree;
}

void BM_MinimalWalker(benchmark::State& state) {
  const BenchTree& tree = Tree();
  MinimalWalkCounts counts{};
  for (auto _ : state) {
    counts = {};
    MinimalWalk(tree.root.c_str(), &counts);
  }
  state.counters["entries"] = static_cast<double>(counts.entries);
  state.counters["elf"] = static_cast<double>(counts.elf);
}

void ScanOnce(benchmark::State& state, int logLevel, std::vector<std::string> ignore) {
  const BenchTree& tree = Tree();
  std::ofstream out("/dev/null"), console("/dev/null");
  DocumentWriter document(out);
  Log log(logLevel, console, console);
  FileScanOptions options;
  options.ignoreValues = std::move(ignore);
  FileScanCounters counters;
  for (auto _ : state) counters = ScanFiles(tree.root, options, document, log);
  state.counters["entries"] = counters.entries;
  state.counters["elf"] = counters.rows;
}

void BM_ScanFiles(benchmark::State& state) { ScanOnce(state, -1, {}); }
void BM_ScanFilesWithProgressLine(benchmark::State& state) { ScanOnce(state, 0, {}); }
void BM_ScanFilesWithIgnoreValues(benchmark::State& state) {
  ScanOnce(state, -1, {"/proc/", "/sys", "*cache*", "*.snapshot", "/MNT/"});
}

// The whole agent, Files=1 and CRC=0, as a child of the small launcher,
// which reports the agent's peak RSS.
void RunAgent(benchmark::State& state, const std::string& root) {
  const std::string dir = Tree().root + ".out";
  std::filesystem::create_directories(dir);
  const std::string ini = dir + "/bench.ini";
  std::ofstream(ini) << "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\nLog=0\nOutputFolder=" << dir
                     << "\n";
  long maxRss = 0;
  for (auto _ : state) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) state.SkipWithError("pipe");
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(pipeFds[1], 2);
      execl(RSS_LAUNCHER_PATH, RSS_LAUNCHER_PATH, SCANUNIX_AGENT_PATH, ini.c_str(),
            root.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeFds[1]);
    std::string report;
    char buf[256];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) report.append(buf, n);
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const size_t at = report.rfind("peak_rss_kib=");
    if (at != std::string::npos) maxRss = std::max(maxRss, std::atol(report.c_str() + at + 13));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("agent failed");
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  state.counters["peak_rss_KiB"] = static_cast<double>(maxRss);
}

void BM_AgentWholeTree(benchmark::State& state) { RunAgent(state, Tree().root); }
void BM_AgentTenthOfTree(benchmark::State& state) { RunAgent(state, Tree().root + "/top0"); }

}  // namespace

BENCHMARK(BM_MinimalWalker)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ScanFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ScanFilesWithProgressLine)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ScanFilesWithIgnoreValues)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_AgentWholeTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_AgentTenthOfTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter("BM_MinimalWalker");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
