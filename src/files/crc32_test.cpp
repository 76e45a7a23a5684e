#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "files/crc32.h"
#include "files/crc32_arm.h"
#include "files/crc32_clmul.h"
#include "files/crc32_portable.h"
#include "files/file_crc.h"
#include "temp_dir.h"

namespace {

// The reference: the byte-at-a-time table fold.
uint32_t ByteFold(const void* data, size_t size, uint32_t crc = ~0u) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) crc = Crc32FoldByte(crc, bytes[i]);
  return crc;
}

// A folding path over any length: the whole 16-byte blocks when there are
// enough, the rest byte by byte.
uint32_t Folded(uint32_t (*fold)(uint32_t, const unsigned char*, size_t), size_t minSize,
                uint32_t crc, const unsigned char* p, size_t n) {
  const size_t folded = n >= minSize ? n & ~size_t{15} : 0;
  if (folded > 0) crc = fold(crc, p, folded);
  return ByteFold(p + folded, n - folded, crc);
}

// Every length up to a few hundred bytes (all tail and lane combinations),
// then long random lengths, each at every alignment within 16 bytes and
// from a random running value. Crc32Update takes this processor's fastest
// path; the others it has are also checked directly. Runs of zeros of each
// length are folded in arithmetically with the same result.
TEST(Crc32, FastPathsAndZeroRunsMatchTheByteFold) {
  std::mt19937 rng(12345);
  std::vector<unsigned char> data(70000 + 32);
  for (auto& b : data) b = static_cast<unsigned char>(rng());
  const std::vector<unsigned char> zeros(70000);
  for (size_t i = 0; i < 341; ++i) {
    const size_t n = i <= 300 ? i : 300 + rng() % 69700;
    const uint32_t start = static_cast<uint32_t>(rng());
    ASSERT_EQ(Crc32ExtendZeros(start, n), ByteFold(zeros.data(), n, start)) << n;
    for (size_t align = 0; align < 16; ++align) {
      const unsigned char* p = data.data() + align;
      const uint32_t seed = static_cast<uint32_t>(rng());
      const uint32_t want = ByteFold(p, n, seed);
      SCOPED_TRACE(testing::Message() << "length " << n << " align " << align);
      ASSERT_EQ(Crc32Update(seed, p, n), want);
      ASSERT_EQ(Crc32UpdatePortable(seed, p, n), want);
      if (Crc32ArmSupported()) { ASSERT_EQ(Crc32UpdateArm(seed, p, n), want); }
      if (Crc32HasClmul()) { ASSERT_EQ(Folded(Crc32FoldClmul, kClmulMinSize, seed, p, n), want); }
      if (Crc32HasVclmul()) {
        ASSERT_EQ(Folded(Crc32FoldVclmul, kVclmulMinSize, seed, p, n), want);
      }
    }
  }
  // Each power of two against the one below it: every square in the table
  // is checked up to 2^63 bytes.
  for (int j = 1; j < 64; ++j) {
    const uint32_t seed = static_cast<uint32_t>(rng());
    const uint64_t power = uint64_t{1} << j;
    ASSERT_EQ(Crc32ExtendZeros(Crc32ExtendZeros(seed, power - 1), 1), Crc32ExtendZeros(seed, power))
        << j;
  }
}

constexpr uint64_t kMiB = 1 << 20, kBuffer = CrcReader::kBufferSize;

// Every byte counts: files read in full (sizes around the 4096-byte blocks
// and the read buffer), and files with holes, whose zeros are folded in
// without reading them: data at the start, the middle, the end, nowhere, in
// several places, and in a file of exabytes (terabytes where the file system
// allows no more), done at once. Reading over the holes or through them
// ends at the size seen, or where a file that shrank since then ends.
TEST(FileCrc, DenseAndSparseFilesAsIfReadInFull) {
  scanunix_test::TempDir dir;
  std::mt19937 rng(11);
  const std::pair<uint64_t, std::vector<uint64_t>> layouts[] = {
      {4095, {0}}, {4096, {0}}, {4097, {0}}, {kBuffer - 1, {0}}, {kBuffer, {0}},
      {kBuffer + 1, {0}}, {3 * kBuffer + 17, {0}}, {8 * kMiB, {}}, {3 * kMiB, {0}},
      {3 * kMiB, {kMiB + 123}}, {3 * kMiB, {3 * kMiB - 5000}},
      {5 * kMiB, {0, kMiB - 1, 2 * kMiB + 4096, 5 * kMiB - 1}}, {0, {}}};  // 0: the huge one
  for (auto [size, data] : layouts) {
    const std::string path = (dir / "file").string();
    const UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (size == 0) {
      for (const uint64_t huge : {uint64_t{4} << 60, uint64_t{8} << 40})
        if (size == 0 && ftruncate(fd.Get(), static_cast<off_t>(huge)) == 0) size = huge;
      if (size == 0) GTEST_SKIP() << "the file system allows no file of 8 TiB";
      data = {size / 2 + 3, size - 4};
    }
    ASSERT_EQ(ftruncate(fd.Get(), static_cast<off_t>(size)), 0);
    std::vector<std::pair<uint64_t, std::string>> extents;
    for (uint64_t at : data) {
      // Files around the read buffer's size dense, the larger ones with holes.
      const uint64_t extent = size <= 4 * kBuffer ? size : 400000;
      std::string bytes(std::min<uint64_t>(extent, size - at), '\0');
      for (auto& b : bytes) b = static_cast<char>(rng() | 1);
      ASSERT_EQ(pwrite(fd.Get(), bytes.data(), bytes.size(), static_cast<off_t>(at)),
                static_cast<ssize_t>(bytes.size()));
      extents.emplace_back(at, bytes);
    }
    const auto crcOf = [&](uint64_t end) {  // of the first `end` bytes
      uint32_t crc = ~0u;
      uint64_t pos = 0;
      for (const auto& [at, bytes] : extents) {
        const size_t n = at < end ? std::min<uint64_t>(bytes.size(), end - at) : 0;
        if (n == 0) continue;
        crc = ByteFold(bytes.data(), n, Crc32ExtendZeros(crc, at - pos));
        pos = at + n;
      }
      return Crc32ExtendZeros(crc, end - pos) ^ ~0u;
    };
    struct stat st {};
    ASSERT_EQ(fstat(fd.Get(), &st), 0);
    ASSERT_TRUE(size <= 4 * kBuffer || static_cast<uint64_t>(st.st_blocks) * 512 < size / 2)
        << "no holes here";
    EXPECT_EQ(FileCrc32(path.c_str()), crcOf(size)) << size << " " << data.size() << " extents";
    CrcReader reader;
    for (const bool dense : {false, true})
      for (const uint64_t seen : {size / 2 + 1, size + kMiB}) {
        if (size > 64 * kMiB) continue;  // not read through
        struct stat then = st;
        then.st_size = static_cast<off_t>(seen);
        if (dense) then.st_blocks = static_cast<blkcnt_t>(seen / 512);
        EXPECT_EQ(reader.Continue(fd.Get(), ~0u, 0, then) ^ ~0u, crcOf(std::min(seen, size)))
            << dense << seen;
      }
  }
}

}  // namespace
