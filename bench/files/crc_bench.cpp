// CRC-32 of a 1 GiB file (warm page cache): the byte-at-a-time table read
// through 4096-byte blocks, zlib's crc32, and the agent's FileCrc32; and
// FileCrc32 of a huge sparse file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "files/crc32.h"
#include "files/file_crc.h"
#include "ratio_reporter.h"

namespace {

constexpr size_t kFileSize = size_t{1} << 30;
constexpr size_t kReadBuffer = 256 * 1024;

struct BigFile {
  std::string path;
  uint32_t crc = 0;  // zlib's result, the reference
  ~BigFile() {
    if (!std::getenv("FILES_BENCH_KEEP")) std::filesystem::remove(path);
  }
};

const BigFile& File() {
  static const BigFile file = [] {
    const char* tmp = std::getenv("TMPDIR");
    BigFile f;
    f.path = std::string(tmp && *tmp ? tmp : "/tmp") + "/scanunix_bench_1g.bin";
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

void Check(benchmark::State& state, uint32_t crc) {
  if (crc != File().crc) state.SkipWithError("checksum differs from zlib");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// The table fold of one byte at a time over 4096-byte stream reads.
void BM_ByteAtATime4096(benchmark::State& state) {
  unsigned int crc = 0;
  for (auto _ : state) {
    std::ifstream in(File().path, std::ios::in | std::ios::binary);
    char block[4096];
    crc = 0xFFFFFFFFu;
    for (;;) {
      in.read(block, sizeof block);
      const std::streamsize n = in.gcount();
      if (n <= 0) break;
      for (std::streamsize i = 0; i < n; ++i) crc = Crc32FoldByte(crc, static_cast<unsigned char>(block[i]));
    }
    crc ^= 0xFFFFFFFFu;
  }
  Check(state, crc);
}

template <typename Fold>
uint32_t ReadAndFold(size_t bufferSize, uint32_t crc, Fold fold) {
  std::vector<unsigned char> buffer(bufferSize);
  const int fd = open(File().path.c_str(), O_RDONLY | O_CLOEXEC);
  for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;)
    crc = fold(crc, buffer.data(), static_cast<size_t>(n));
  close(fd);
  return crc;
}

void BM_Zlib(benchmark::State& state) {
  uint32_t crc = 0;
  for (auto _ : state)
    crc = ReadAndFold(kReadBuffer, 0, [](uint32_t c, const unsigned char* p, size_t n) {
      return static_cast<uint32_t>(crc32(c, p, static_cast<uInt>(n)));
    });
  Check(state, crc);
}

void BM_ZlibWith4096Reads(benchmark::State& state) {
  uint32_t crc = 0;
  for (auto _ : state)
    crc = ReadAndFold(4096, 0, [](uint32_t c, const unsigned char* p, size_t n) {
      return static_cast<uint32_t>(crc32(c, p, static_cast<uInt>(n)));
    });
  Check(state, crc);
}

void BM_FileCrc32(benchmark::State& state) {
  unsigned int crc = 0;
  for (auto _ : state) crc = FileCrc32(File().path.c_str());
  Check(state, crc);
}

// The fallback for processors without carry-less multiplication.
void BM_PortableSlicingBy16(benchmark::State& state) {
  uint32_t crc = 0;
  for (auto _ : state)
    crc = ~ReadAndFold(kReadBuffer, 0xFFFFFFFFu, [](uint32_t c, const unsigned char* p, size_t n) {
      return Crc32UpdatePortable(c, p, n);
    });
  Check(state, crc);
}

// 4 EiB (8 TiB where the file system allows no more) with three 4 KiB
// pieces of data: the holes cost next to nothing.
void BM_SparseFileCrc32(benchmark::State& state) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/scanunix_bench_sparse.bin";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  uint64_t size = 0;
  for (uint64_t candidate : {uint64_t{4} << 60, uint64_t{8} << 40})
    if (size == 0 && ftruncate(fd, static_cast<off_t>(candidate)) == 0) size = candidate;
  std::vector<unsigned char> piece(4096, 0x5A);
  for (uint64_t at : {uint64_t{0}, size / 3, size - piece.size()})
    if (pwrite(fd, piece.data(), piece.size(), static_cast<off_t>(at)) < 0) size = 0;
  close(fd);
  if (size == 0) state.SkipWithError("no sparse file of 8 TiB here");
  for (auto _ : state) benchmark::DoNotOptimize(FileCrc32(path.c_str()));
  state.counters["apparent_TiB"] = static_cast<double>(size >> 40);
  std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_ByteAtATime4096)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Zlib)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_ZlibWith4096Reads)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_FileCrc32)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_PortableSlicingBy16)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_SparseFileCrc32)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("carry-less multiplication: %s\n", Crc32HasClmul() ? "yes" : "no");
  RatioReporter reporter("BM_ByteAtATime4096");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
