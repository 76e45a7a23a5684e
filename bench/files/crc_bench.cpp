// CRC-32 of a 1 GiB file (warm page cache): zlib's crc32 as the reference,
// the agent's FileCrc32 and the whole agent with AllFiles=1 and CRC=1; both
// checksum cores over data already in memory; FileCrc32 of a huge sparse file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "agent_run.h"
#include "files/crc32.h"
#include "files/crc32_portable.h"
#include "files/file_crc.h"
#include "ratio_reporter.h"

namespace {

constexpr size_t kFileSize = size_t{1} << 30;
constexpr size_t kReadBuffer = 256 * 1024;

std::string TempPath(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name;
}

// The file, alone in its directory for the agent to scan.
struct BigFile {
  std::string dir, path;
  uint32_t crc = 0;  // zlib's result, the reference
  ~BigFile() {
    if (!std::getenv("FILES_BENCH_KEEP")) std::filesystem::remove_all(dir);
  }
};

const BigFile& File() {
  static const BigFile file = [] {
    BigFile f;
    f.dir = TempPath("scanunix_bench_crc");
    f.path = f.dir + "/1g.bin";
    std::filesystem::create_directories(f.dir);
    std::vector<unsigned char> block(1 << 20);
    std::mt19937_64 rng(42);
    uLong crc = crc32(0, nullptr, 0);
    const bool exists = std::filesystem::exists(f.path) &&
                        std::filesystem::file_size(f.path) == kFileSize;
    std::ofstream out;
    if (!exists) out.open(f.path, std::ios::binary | std::ios::trunc);
    for (size_t done = 0; done < kFileSize; done += block.size()) {
      for (size_t i = 0; i < block.size(); i += 8) {
        const uint64_t v = rng();
        std::memcpy(&block[i], &v, 8);
      }
      crc = crc32(crc, block.data(), static_cast<uInt>(block.size()));
      if (!exists) out.write(reinterpret_cast<const char*>(block.data()), block.size());
    }
    f.crc = static_cast<uint32_t>(crc);
    return f;
  }();
  return file;
}

// Reads the file once, untimed, so every page is cached: this machine
// evicts idle pages, and the agent gives back what it had to read from the
// disk, so without it a row could start partly cold.
void Warm() {
  std::vector<char> buffer(kReadBuffer);
  const int fd = open(File().path.c_str(), O_RDONLY | O_CLOEXEC);
  while (read(fd, buffer.data(), buffer.size()) > 0) {
  }
  close(fd);
}

// Times each call of `crcOf` in CPU seconds and checks its result.
template <typename CrcOf>
void Measure(benchmark::State& state, CrcOf crcOf) {
  const uint32_t want = File().crc;
  for (auto _ : state) {
    Warm();
    const double start = ProcessCpuSeconds();
    const uint32_t crc = crcOf();
    state.SetIterationTime(ProcessCpuSeconds() - start);
    if (crc != want) state.SkipWithError("checksum differs from zlib");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// Reads the file through a buffer of `bufferSize` bytes placed `offset`
// bytes past a 4 KiB boundary, folding each read into the checksum.
template <typename Fold>
uint32_t ReadAndFold(size_t bufferSize, uint32_t crc, Fold fold, size_t offset = 0) {
  std::unique_ptr<unsigned char, decltype(&std::free)> block(
      static_cast<unsigned char*>(std::aligned_alloc(4096, bufferSize + 4096)), &std::free);
  unsigned char* buffer = block.get() + offset;
  const int fd = open(File().path.c_str(), O_RDONLY | O_CLOEXEC);
  for (ssize_t n; (n = read(fd, buffer, bufferSize)) > 0;)
    crc = fold(crc, buffer, static_cast<size_t>(n));
  close(fd);
  return crc;
}

uint32_t ZlibFold(uint32_t crc, const unsigned char* p, size_t n) {
  return static_cast<uint32_t>(crc32(crc, p, static_cast<uInt>(n)));
}

// The reference: zlib over reads at the page cache's speed.
void BM_Zlib(benchmark::State& state) {
  Measure(state, [] { return ReadAndFold(kReadBuffer, 0, ZlibFold); });
}

// The same through a buffer where malloc puts a fresh large block, 16 bytes
// past a page boundary: the kernel's copies into it stall on 4 KiB aliasing.
void BM_ZlibMallocPlacedBuffer(benchmark::State& state) {
  Measure(state, [] { return ReadAndFold(kReadBuffer, 0, ZlibFold, 16); });
}

void BM_ZlibWith4096Reads(benchmark::State& state) {
  Measure(state, [] { return ReadAndFold(4096, 0, ZlibFold); });
}

void BM_FileCrc32(benchmark::State& state) {
  Measure(state, [] { return FileCrc32(File().path.c_str()); });
}

const char* BaselineAgent() { return std::getenv("FILES_BENCH_BASELINE_AGENT"); }

// The whole agent listing the file's directory: its start and the row
// included, which are next to nothing beside the checksum. With a baseline
// agent, that build too, interleaved.
template <bool kBaseline>
void BM_AgentCrc(benchmark::State& state) {
  const std::string out = TempPath("scanunix_bench_crc.out"), ini = out + "/bench.ini";
  std::filesystem::create_directories(out);
  std::ofstream(ini) << "[Settings]\nFiles=1\nAllFiles=1\nCRC=1\nMsi=0\nShortcuts=0\nLog=0\n"
                     << "OutputFolder=" << out << "\n";
  File();
  for (auto _ : state) {
    Warm();
    const AgentRun run = RunAgent(kBaseline ? BaselineAgent() : BuiltAgent(), ini, File().dir);
    state.SetIterationTime(run.cpuSeconds);
    state.counters["peak_rss_KiB"] = static_cast<double>(run.peakRssKiB);
    if (!run.ok) state.SkipWithError("agent failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
  std::filesystem::remove_all(out);
}

// The fallback for processors without carry-less multiplication.
void BM_PortableSlicingBy16(benchmark::State& state) {
  Measure(state, [] {
    return ~ReadAndFold(kReadBuffer, ~0u, [](uint32_t c, const unsigned char* p, size_t n) {
      return Crc32UpdatePortable(c, p, n);
    });
  });
}

// The cores alone: 1 GiB of checksum over one 256 KiB block in memory.
template <typename Fold>
void InMemory(benchmark::State& state, Fold fold) {
  std::vector<unsigned char> block(kReadBuffer);
  std::mt19937 rng(5);
  for (auto& b : block) b = static_cast<unsigned char>(rng());
  for (auto _ : state) {
    const double start = ProcessCpuSeconds();
    uint32_t crc = 0;
    for (size_t done = 0; done < kFileSize; done += block.size())
      crc = fold(crc, block.data(), block.size());
    benchmark::DoNotOptimize(crc);
    state.SetIterationTime(ProcessCpuSeconds() - start);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_ZlibInMemory(benchmark::State& state) { InMemory(state, ZlibFold); }
void BM_Crc32UpdateInMemory(benchmark::State& state) { InMemory(state, Crc32Update); }

// 4 EiB (8 TiB where the file system allows no more) with three 4 KiB
// pieces of data: the holes cost next to nothing.
void BM_SparseFileCrc32(benchmark::State& state) {
  const std::string path = TempPath("scanunix_bench_sparse.bin");
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  uint64_t size = 0;
  for (uint64_t candidate : {uint64_t{4} << 60, uint64_t{8} << 40})
    if (size == 0 && ftruncate(fd, static_cast<off_t>(candidate)) == 0) size = candidate;
  std::vector<unsigned char> piece(4096, 0x5A);
  for (uint64_t at : {uint64_t{0}, size / 3, size - piece.size()})
    if (pwrite(fd, piece.data(), piece.size(), static_cast<off_t>(at)) < 0) size = 0;
  close(fd);
  if (size == 0) state.SkipWithError("no sparse file of 8 TiB here");
  for (auto _ : state) {
    const double start = ProcessCpuSeconds();
    benchmark::DoNotOptimize(FileCrc32(path.c_str()));
    state.SetIterationTime(ProcessCpuSeconds() - start);
  }
  state.counters["apparent_TiB"] = static_cast<double>(size >> 40);
  std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("carry-less multiplication: %s, 256-bit: %s\n", Crc32HasClmul() ? "yes" : "no",
              Crc32HasVclmul() ? "yes" : "no");
  AddCpuBenchmark("BM_Zlib", BM_Zlib, 2);
  AddCpuBenchmark("BM_ZlibMallocPlacedBuffer", BM_ZlibMallocPlacedBuffer, 2);
  AddCpuBenchmark("BM_ZlibWith4096Reads", BM_ZlibWith4096Reads, 2);
  AddCpuBenchmark("BM_FileCrc32", BM_FileCrc32, 2);
  AddCpuBenchmark("BM_AgentCrc", BM_AgentCrc<false>, 2);
  if (BaselineAgent()) AddCpuBenchmark("BM_BaselineAgentCrc", BM_AgentCrc<true>, 2);
  AddCpuBenchmark("BM_PortableSlicingBy16", BM_PortableSlicingBy16, 2);
  AddCpuBenchmark("BM_ZlibInMemory", BM_ZlibInMemory, 2);
  AddCpuBenchmark("BM_Crc32UpdateInMemory", BM_Crc32UpdateInMemory, 2);
  AddCpuBenchmark("BM_SparseFileCrc32", BM_SparseFileCrc32, 100)->Unit(benchmark::kMicrosecond);
  std::vector<Ratio> ratios = {{"BM_ZlibMallocPlacedBuffer", "BM_Zlib"},
                               {"BM_ZlibWith4096Reads", "BM_Zlib"},
                               {"BM_FileCrc32", "BM_Zlib"},
                               {"BM_AgentCrc", "BM_Zlib"},
                               {"BM_PortableSlicingBy16", "BM_Zlib"},
                               {"BM_Crc32UpdateInMemory", "BM_ZlibInMemory"}};
  if (BaselineAgent()) {
    ratios.push_back({"BM_BaselineAgentCrc", "BM_Zlib"});
    ratios.push_back({"BM_AgentCrc", "BM_BaselineAgentCrc"});
  }
  return RunWithRatios(argc, argv, ratios);
}
