// The file scan on a cold page cache: what it reads from the disk and what
// it leaves in the cache, against the minimal safe walker. Run as root:
// before each row the caches are dropped.
//
//   files_cold_bench [--tree=/usr] [--runs=1] [--agent=PATH] [--resident=FILE]
//
// Rows: the minimal safe walker, the agent in ELF mode, the agent with
// CRC=1 (ELF mode). Bytes read come from the sector counter of the disk
// that holds the tree, the cache left from Cached in /proc/meminfo, net of
// the scan file the agent wrote. Before each agent row one ELF file of the
// tree (the largest the search met, or --resident) is read in full; fincore
// tells whether it is still resident after the scan.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "agent_run.h"
#include "minimal_walker.h"

namespace fs = std::filesystem;

namespace {

struct Options {
  std::string tree = "/usr";
  std::string agent = BuiltAgent();
  std::string resident;  // empty: found in the tree
  int runs = 1;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](const char* key) -> std::optional<std::string> {
      const std::string prefix = std::string(key) + "=";
      if (arg.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
      return arg.substr(prefix.size());
    };
    if (auto v = value("--tree")) o.tree = *v;
    else if (auto v = value("--agent")) o.agent = *v;
    else if (auto v = value("--resident")) o.resident = *v;
    else if (auto v = value("--runs")) o.runs = std::max(1, std::atoi(v->c_str()));
    else return std::nullopt;
  }
  return o;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The disk holding `path`: /sys/block/<disk>, through /sys/dev/block of its
// device and, for a partition, its parent.
std::optional<fs::path> DiskOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  std::error_code ec;
  fs::path dev = fs::canonical("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                                   std::to_string(minor(st.st_dev)),
                               ec);
  if (ec) return std::nullopt;
  if (fs::exists(dev / "partition")) dev = dev.parent_path();
  return dev;
}

// Bytes read from the disk so far: the third field of its stat, in sectors of 512.
uint64_t BytesRead(const fs::path& disk) {
  std::istringstream fields(ReadText((disk / "stat").string()));
  uint64_t readsDone = 0, merged = 0, sectors = 0;
  fields >> readsDone >> merged >> sectors;
  return sectors * 512;
}

uint64_t CachedBytes() {
  std::istringstream lines(ReadText("/proc/meminfo"));
  for (std::string line; std::getline(lines, line);)
    if (line.compare(0, 7, "Cached:") == 0) return std::strtoull(line.c_str() + 7, nullptr, 10) * 1024;
  return 0;
}

bool DropCaches() {
  sync();
  std::ofstream drop("/proc/sys/vm/drop_caches");
  drop << "3\n";
  drop.flush();
  return static_cast<bool>(drop);
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string Loadavg() {
  std::string text = ReadText("/proc/loadavg");
  return text.substr(0, text.find(' ', text.find(' ', text.find(' ') + 1) + 1));
}

// The largest ELF file among the first entries of the tree.
std::string LargestElf(const std::string& tree) {
  constexpr int kLooked = 100000;
  std::string best;
  uintmax_t bestSize = 0;
  std::error_code ec;
  int looked = 0;
  for (fs::recursive_directory_iterator it(tree, fs::directory_options::skip_permission_denied, ec),
       end;
       it != end && looked < kLooked; it.increment(ec), ++looked) {
    if (ec || !it->is_regular_file(ec) || it->is_symlink(ec)) continue;
    const uintmax_t size = it->file_size(ec);
    if (ec || size <= bestSize || size > (256u << 20)) continue;
    char head[4] = {};
    std::ifstream(it->path(), std::ios::binary).read(head, 4);
    if (std::memcmp(head, "\x7f" "ELF", 4) != 0) continue;
    best = it->path().string();
    bestSize = size;
  }
  return best;
}

void ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> buffer(1 << 20);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
  }
}

// fincore's resident bytes of `path`, and its size.
std::string ResidentAfter(const std::string& path) {
  const std::string command = "fincore --bytes --noheadings --raw --output RES,SIZE '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "fincore failed";
  unsigned long long res = 0, size = 0;
  const bool ok = std::fscanf(pipe, "%llu %llu", &res, &size) == 2;
  pclose(pipe);
  if (!ok) return "fincore gave nothing";
  return std::to_string(res) + " of " + std::to_string(size) + " bytes" +
         (res >= size ? " (all)" : " (NOT all)");
}

struct Row {
  std::string name;
  double wall = 0;
  uint64_t read = 0;
  int64_t left = 0;  // Cached grown by, net of the scan file
  std::string resident;
  bool ok = true;
};

// The agent's scan file in `dir`: its size, then removed.
uint64_t TakeScanFile(const fs::path& dir) {
  uint64_t size = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec))
    if (entry.path().extension() == ".scn") {
      size += entry.file_size(ec);
      fs::remove(entry.path(), ec);
    }
  return size;
}

Row Measure(const std::string& name, const fs::path& disk, const std::string& resident,
            const std::function<bool()>& scan, const fs::path& outDir) {
  Row row;
  row.name = name;
  if (!DropCaches()) {
    std::fprintf(stderr, "cannot drop the caches (root?)\n");
    std::exit(1);
  }
  if (!resident.empty()) ReadWhole(resident);
  const uint64_t read0 = BytesRead(disk), cached0 = CachedBytes();
  const auto start = std::chrono::steady_clock::now();
  row.ok = scan();
  row.wall = Seconds(start);
  row.read = BytesRead(disk) - read0;
  const uint64_t scanFile = TakeScanFile(outDir);
  row.left = static_cast<int64_t>(CachedBytes()) - static_cast<int64_t>(cached0) -
             static_cast<int64_t>(scanFile);
  if (!resident.empty()) row.resident = ResidentAfter(resident);
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr,
                 "usage: %s [--tree=DIR] [--runs=N] [--agent=PATH] [--resident=FILE]\n", argv[0]);
    return 2;
  }
  if (geteuid() != 0) {
    std::fprintf(stderr, "run as root: every row drops the page cache first\n");
    return 1;
  }
  const std::optional<fs::path> disk = DiskOf(options->tree);
  if (!disk) {
    std::fprintf(stderr, "no block device holds %s\n", options->tree.c_str());
    return 1;
  }
  const std::string resident =
      options->resident.empty() ? LargestElf(options->tree) : options->resident;
  const fs::path outDir = fs::temp_directory_path() / "scanunix_cold_bench.out";
  fs::create_directories(outDir);
  const std::string settings = "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\nLog=0\nOutputFolder=" +
                               outDir.string() + "\n";
  const std::string elfIni = (outDir / "elf.ini").string(), crcIni = (outDir / "crc.ini").string();
  std::ofstream(elfIni) << settings;
  std::ofstream(crcIni) << settings << "CRC=1\n";

  const auto line = [&](const char* name) {
    std::string text = ReadText((*disk / name).string());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  };
  std::printf("tree %s on %s (rotational %s, scheduler %s, read-ahead %s KiB)\n",
              options->tree.c_str(), disk->filename().c_str(), line("queue/rotational").c_str(),
              line("queue/scheduler").c_str(), line("queue/read_ahead_kb").c_str());
  std::printf("agent %s\nresident before each agent row: %s\n", options->agent.c_str(),
              resident.c_str());
  std::printf("load average at the start: %s, %ld processors; other builds may share the "
              "machine: compare only rows of one run\n",
              Loadavg().c_str(), sysconf(_SC_NPROCESSORS_ONLN));

  MinimalWalkCounts counts{};
  for (int run = 1; run <= options->runs; ++run) {
    std::vector<Row> rows;
    rows.push_back(Measure("minimal safe walker", *disk, "", [&] {
      counts = {};
      MinimalWalk(options->tree.c_str(), kMinimalSafeRead, &counts);
      return true;
    }, outDir));
    // What the walk alone reads (directories, inodes): part of every row.
    rows.push_back(Measure("fstatat walker", *disk, "", [&] {
      MinimalWalkCounts statOnly{};
      MinimalWalk(options->tree.c_str(), kMinimalStat, &statOnly);
      return true;
    }, outDir));
    for (const auto& [name, ini] : {std::pair("agent, ELF mode", elfIni), {"agent, CRC=1", crcIni}})
      rows.push_back(Measure(name, *disk, resident, [&, ini = ini] {
        return RunAgent(options->agent, ini, options->tree).ok;
      }, outDir));
    const double floor = 4096.0 * static_cast<double>(counts.candidates);
    std::printf("\nrun %d: %lu candidates (non-empty regular files), floor 4 KiB each = %.0f MB\n",
                run, counts.candidates, floor / 1e6);
    std::printf("  %-20s %8s %8s %10s %9s %10s %9s  %s\n", "row", "wall s", "/minimal",
                "read MB", "/floor", "left MB", "/read", "resident file after");
    for (const Row& row : rows)
      std::printf("  %-20s %8.2f %8.2f %10.1f %9.3f %10.1f %9.3f  %s%s\n", row.name.c_str(),
                  row.wall, row.wall / rows[0].wall, static_cast<double>(row.read) / 1e6,
                  static_cast<double>(row.read) / floor, static_cast<double>(row.left) / 1e6,
                  row.read > 0 ? static_cast<double>(row.left) / static_cast<double>(row.read) : 0.0,
                  row.resident.c_str(), row.ok ? "" : " (agent failed)");
  }
  std::printf("load average at the end: %s\n", Loadavg().c_str());
  std::error_code ec;
  fs::remove_all(outDir, ec);
  return 0;
}
