// The file scan on a cold page cache: what it reads from the disk and what
// it leaves in the cache, against the minimal safe walker. Run as root:
// before each row the caches are dropped.
//
//   files_cold_bench [--tree=/usr] [--runs=3] [--agent=PATH] [--resident=FILE]
//
// Rows: the minimal safe walker, the fstatat walker (the walk's metadata
// alone), the agent in ELF mode, the agent with CRC=1 (ELF mode). Bytes
// read come from the sector counter of the disk that holds the tree, the
// cache left from Cached in /proc/meminfo, net of the scan file the agent
// wrote; the metadata read lands in Buffers, shown beside it. Before each
// agent row one ELF file of the tree (the largest the search met, or
// --resident) is read in full; fincore tells whether it is resident before
// and still after the scan. A copy of it outside the tree, read at the same
// time and never scanned, is the control: what it loses the machine evicted,
// not the agent. Every run prints its table, then the medians.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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
  int runs = 3;
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

// A field of /proc/meminfo ("Cached:", "Buffers:") in bytes.
uint64_t MeminfoBytes(const std::string& field) {
  std::istringstream lines(ReadText("/proc/meminfo"));
  for (std::string line; std::getline(lines, line);)
    if (line.compare(0, field.size(), field) == 0)
      return std::strtoull(line.c_str() + field.size(), nullptr, 10) * 1024;
  return 0;
}

// A counter of /proc/vmstat: "drop_pagecache" (drops by anyone), "pgsteal_file" (reclaim).
uint64_t VmstatCount(const std::string& name) {
  std::istringstream lines(ReadText("/proc/vmstat"));
  for (std::string key; lines >> key;) {
    uint64_t value = 0;
    lines >> value;
    if (key == name) return value;
  }
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
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::vector<char> buffer(1 << 20);
  while (read(fd, buffer.data(), buffer.size()) > 0) {
  }
  close(fd);
}

constexpr long kCachestat = 451;
struct CachestatRange {
  uint64_t off, len;
};
struct CachestatCounts {
  uint64_t cache, dirty, writeback, evicted, recentlyEvicted;
};

// Pages of `path` the kernel's reclaim took out of the cache since they were
// last read: cachestat counts what left a shadow entry, and a drop by
// POSIX_FADV_DONTNEED leaves none. -1 where the kernel cannot tell.
int64_t ReclaimedBytes(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  const CachestatRange whole{0, 0};  // to the end
  CachestatCounts counts{};
  const long done = syscall(kCachestat, fd, &whole, &counts, 0);
  close(fd);
  return done == 0 ? static_cast<int64_t>(counts.evicted) * sysconf(_SC_PAGESIZE) : -1;
}

// fincore's resident bytes of `path`, and its size; when not all, what of
// it the kernel reclaimed.
std::string Resident(const std::string& path) {
  const std::string command = "fincore --bytes --noheadings --raw --output RES,SIZE '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "fincore failed";
  unsigned long long res = 0, size = 0;
  const bool ok = std::fscanf(pipe, "%llu %llu", &res, &size) == 2;
  pclose(pipe);
  if (!ok) return "fincore gave nothing";
  if (res >= size) return "all";
  const int64_t reclaimed = ReclaimedBytes(path);
  return std::to_string(res) + " of " + std::to_string(size) +
         (reclaimed < 0 ? "" : " [reclaimed " + std::to_string(reclaimed) + "]");
}

// Bytes of the tree's regular files in the page cache now, by cachestat
// (6.5 on); -1 where the kernel has none. The tree's own pages, unlike
// Cached, are not blurred by whatever else runs on the machine.
int64_t TreeCachedBytes(const std::string& tree) {
  const CachestatRange whole{0, 0};  // to the end
  int64_t bytes = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(tree, fs::directory_options::skip_permission_denied, ec),
       end;
       it != end; it.increment(ec)) {
    if (ec || it->is_symlink(ec) || !it->is_regular_file(ec)) continue;
    const int fd = open(it->path().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOATIME | O_CLOEXEC);
    if (fd < 0) continue;
    CachestatCounts st{};
    const long done = syscall(kCachestat, fd, &whole, &st, 0);
    close(fd);
    if (done != 0) return -1;
    bytes += static_cast<int64_t>(st.cache) * sysconf(_SC_PAGESIZE);
  }
  return bytes;
}

struct Row {
  std::string name;
  double wall = 0;
  uint64_t read = 0;
  int64_t left = 0;     // Cached grown by, net of the scan file
  int64_t buffers = 0;  // Buffers grown by: the block device's, metadata
  uint64_t drops = 0, reclaimed = 0;  // by others, by the kernel, during the row
  int64_t treeLeft = 0;  // pages of the tree's files cached after, less the resident file's
  std::string residentBefore, residentAfter, controlAfter;
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

// `warmUp` runs after the caches are dropped and before the counters are
// read: what it brings in (the agent's own program and libraries) is no
// part of the row.
Row Measure(const std::string& name, const fs::path& disk, const std::string& tree,
            const std::string& resident, const std::string& control,
            const std::function<void()>& warmUp,
            const std::function<bool()>& scan, const fs::path& outDir) {
  Row row;
  row.name = name;
  if (!DropCaches()) {
    std::fprintf(stderr, "cannot drop the caches (root?)\n");
    std::exit(1);
  }
  if (warmUp) warmUp();
  uint64_t residentBytes = 0;
  if (!resident.empty()) {
    ReadWhole(resident);
    if (!control.empty()) ReadWhole(control);
    residentBytes = fs::file_size(resident);
    row.residentBefore = Resident(resident);
  }
  const uint64_t read0 = BytesRead(disk), cached0 = MeminfoBytes("Cached:"),
                 buffers0 = MeminfoBytes("Buffers:"), drops0 = VmstatCount("drop_pagecache"),
                 reclaimed0 = VmstatCount("pgsteal_file");
  const auto start = std::chrono::steady_clock::now();
  row.ok = scan();
  row.wall = Seconds(start);
  row.read = BytesRead(disk) - read0;
  const uint64_t scanFile = TakeScanFile(outDir);
  row.left = static_cast<int64_t>(MeminfoBytes("Cached:")) - static_cast<int64_t>(cached0) -
             static_cast<int64_t>(scanFile);
  row.drops = VmstatCount("drop_pagecache") - drops0;
  row.reclaimed = VmstatCount("pgsteal_file") - reclaimed0;
  row.buffers = static_cast<int64_t>(MeminfoBytes("Buffers:")) - static_cast<int64_t>(buffers0);
  if (!resident.empty()) row.residentAfter = Resident(resident);
  if (!control.empty()) row.controlAfter = Resident(control);
  row.treeLeft = TreeCachedBytes(tree);
  if (row.treeLeft > 0) row.treeLeft -= static_cast<int64_t>(std::min<uint64_t>(
                                            residentBytes, static_cast<uint64_t>(row.treeLeft)));
  return row;
}

// Wall s, /minimal, read MB, /floor, read net of the metadata /floor, left
// MB, /read, the tree's pages left MB, /read, Buffers grown MB.
using Figures = std::array<double, 10>;

void PrintHeader() {
  std::printf("  %-20s %7s %8s %8s %7s %9s %7s %6s %8s %6s %8s  %s\n", "row", "wall s",
              "/minimal", "read MB", "/floor", "net/floor", "left MB", "/read", "tree MB",
              "/read", "Buffers", "resident file before -> after (control after)");
}

void PrintFigures(const std::string& name, const Figures& f, bool metadataRow,
                  const std::string& resident) {
  char net[16] = "-";
  if (!metadataRow) std::snprintf(net, sizeof net, "%.3f", f[4]);
  std::printf("  %-20s %7.2f %8.2f %8.1f %7.3f %9s %7.1f %6.3f %8.1f %6.3f %+8.1f  %s\n",
              name.c_str(), f[0], f[1], f[2], f[3], net, f[5], f[6], f[7], f[8], f[9],
              resident.c_str());
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
  const fs::path emptyDir = outDir / "empty";
  fs::create_directories(emptyDir);
  // The control must keep a page cache that can be evicted: not on tmpfs.
  std::string control = (outDir / "control").string();
  struct statfs where {};
  if (statfs(outDir.c_str(), &where) != 0 || where.f_type == 0x01021994 ||
      !fs::copy_file(resident, control, fs::copy_options::overwrite_existing))
    control.clear();
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
  std::printf("agent %s\nresident before each agent row: %s\ncontrol, its copy never scanned: %s\n",
              options->agent.c_str(), resident.c_str(),
              control.empty() ? "none (TMPDIR is tmpfs)" : control.c_str());
  std::printf("load average at the start: %s, %ld processors; other builds may share the "
              "machine: compare only rows of one run\n",
              Loadavg().c_str(), sysconf(_SC_NPROCESSORS_ONLN));

  // Per row, per run: the figures the table shows.
  constexpr size_t kRows = 4, kStatRow = 1;
  std::vector<Figures> figures[kRows];
  std::string names[kRows], residency[kRows];
  for (int run = 1; run <= options->runs; ++run) {
    MinimalWalkCounts counts{};
    std::vector<Row> rows;
    rows.push_back(Measure("minimal safe walker", *disk, options->tree, "", "", nullptr, [&] {
      counts = {};
      MinimalWalk(options->tree.c_str(), kMinimalSafeRead, &counts);
      return true;
    }, outDir));
    // What the walk alone reads (directories, inodes): part of every row.
    rows.push_back(Measure("fstatat walker", *disk, options->tree, "", "", nullptr, [&] {
      MinimalWalkCounts statOnly{};
      MinimalWalk(options->tree.c_str(), kMinimalStat, &statOnly);
      return true;
    }, outDir));
    for (const auto& [name, ini] : {std::pair("agent, ELF mode", elfIni), {"agent, CRC=1", crcIni}})
      rows.push_back(Measure(name, *disk, options->tree, resident, control, [&, ini = ini] {
        RunAgent(options->agent, ini, emptyDir.string());
        TakeScanFile(outDir);
      }, [&, ini = ini] {
        return RunAgent(options->agent, ini, options->tree).ok;
      }, outDir));
    const double floor = 4096.0 * static_cast<double>(counts.candidates);
    const double metadata = static_cast<double>(rows[kStatRow].read);
    std::printf("\nrun %d (load %s): %lu candidates (non-empty regular files), floor 4 KiB each "
                "= %.0f MB, metadata (the fstatat walker's read) %.0f MB = %.3f of the floor\n",
                run, Loadavg().c_str(), counts.candidates, floor / 1e6, metadata / 1e6,
                metadata / floor);
    PrintHeader();
    for (size_t i = 0; i < rows.size(); ++i) {
      const Row& row = rows[i];
      const double read = static_cast<double>(row.read);
      names[i] = row.name + (row.ok ? "" : " (agent failed)");
      std::string resident = row.residentBefore.empty()
                                 ? std::string("-")
                                 : row.residentBefore + " -> " + row.residentAfter;
      if (!row.controlAfter.empty()) resident += " (" + row.controlAfter + ")";
      residency[i] += (residency[i].empty() ? "" : ", ") + resident;
      figures[i].push_back({row.wall, row.wall / rows[0].wall, read / 1e6, read / floor,
                            i == kStatRow ? 0.0 : (read - metadata) / floor,
                            static_cast<double>(row.left) / 1e6,
                            read > 0 ? static_cast<double>(row.left) / read : 0.0,
                            static_cast<double>(row.treeLeft) / 1e6,
                            read > 0 ? static_cast<double>(row.treeLeft) / read : 0.0,
                            static_cast<double>(row.buffers) / 1e6});
      if (row.drops > 0) resident += " (caches dropped by another process meanwhile)";
      if (row.reclaimed > 0) resident += " (" + std::to_string(row.reclaimed) + " pages reclaimed meanwhile)";
      PrintFigures(names[i], figures[i].back(), i == kStatRow, resident);
    }
  }
  std::printf("\nmedians of %d runs, each figure on its own:\n", options->runs);
  PrintHeader();
  for (size_t i = 0; i < kRows; ++i) {
    Figures median{};
    for (size_t f = 0; f < median.size(); ++f) {
      std::vector<double> values;
      for (const auto& run : figures[i]) values.push_back(run[f]);
      std::sort(values.begin(), values.end());
      const size_t n = values.size();
      median[f] = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }
    PrintFigures(names[i], median, i == kStatRow, residency[i]);
  }
  std::printf("load average at the end: %s\n", Loadavg().c_str());
  std::error_code ec;
  fs::remove_all(outDir, ec);
  return 0;
}
