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
#include "files/file_crc.h"
#include "temp_dir.h"

namespace {

// The reference: the byte-at-a-time table fold.
uint32_t ByteFold(const void* data, size_t size, uint32_t crc = ~0u) {
  for (size_t i = 0; i < size; ++i) crc = Crc32FoldByte(crc, static_cast<const unsigned char*>(data)[i]);
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
// path; the others it has are also checked directly.
TEST(Crc32, FastPathsMatchTheByteFold) {
  std::mt19937 rng(12345);
  std::vector<unsigned char> data(70000 + 32);
  for (auto& b : data) b = static_cast<unsigned char>(rng());
  for (size_t i = 0; i < 341; ++i) {
    const size_t n = i <= 300 ? i : 300 + rng() % 69700;
    for (size_t align = 0; align < 16; ++align) {
      const unsigned char* p = data.data() + align;
      const uint32_t seed = static_cast<uint32_t>(rng());
      const uint32_t want = ByteFold(p, n, seed);
      SCOPED_TRACE(testing::Message() << "length " << n << " align " << align);
      ASSERT_EQ(Crc32Update(seed, p, n), want);
      ASSERT_EQ(Crc32UpdatePortable(seed, p, n), want);
      if (Crc32ArmSupported()) {
        ASSERT_EQ(Crc32UpdateArm(seed, p, n), want);
      }
      if (Crc32HasClmul()) {
        ASSERT_EQ(Folded(Crc32FoldClmul, kClmulMinSize, seed, p, n), want);
      }
      if (Crc32HasVclmul()) {
        ASSERT_EQ(Folded(Crc32FoldVclmul, kVclmulMinSize, seed, p, n), want);
      }
    }
  }
}

// Zero runs against folding the bytes for short and long counts, then each
// power of two against the one below it, so every square in the table is
// checked up to 2^63 bytes.
TEST(Crc32, ExtendZerosMatchesFoldingZeroBytes) {
  std::mt19937 rng(3);
  const std::vector<unsigned char> zeros(1 << 20);
  std::vector<uint64_t> counts(301);
  for (uint64_t n = 0; n <= 300; ++n) counts[n] = n;
  counts.insert(counts.end(), {4095, 4096, 65537, 1 << 20});
  for (uint64_t n : counts) {
    const uint32_t seed = static_cast<uint32_t>(rng());
    ASSERT_EQ(Crc32ExtendZeros(seed, n), Crc32Update(seed, zeros.data(), n)) << n;
  }
  for (int j = 1; j < 64; ++j) {
    const uint32_t seed = static_cast<uint32_t>(rng());
    const uint64_t power = uint64_t{1} << j;
    ASSERT_EQ(Crc32ExtendZeros(Crc32ExtendZeros(seed, power - 1), 1), Crc32ExtendZeros(seed, power))
        << j;
  }
}

uint32_t FileCrc(const std::string& path) { return FileCrc32(path.c_str()); }

// Sizes around the 4096-byte blocks and the read buffer count every byte;
// what is not a regular file is neither read nor waited for.
TEST(FileCrc, CheckValuesBlockEdgesAndNonRegularFiles) {
  scanunix_test::TempDir dir;
  EXPECT_EQ(FileCrc(dir.Write("digits", "123456789")), 0xCBF43926u);
  std::mt19937 rng(7);
  const size_t buf = CrcReader::kBufferSize;
  for (size_t n : {size_t{4095}, size_t{4096}, size_t{4097}, buf - 1, buf, buf + 1, 3 * buf + 17}) {
    std::string content(n, '\0');
    for (auto& c : content) c = static_cast<char>(rng());
    EXPECT_EQ(FileCrc(dir.Write("sized", content)), ByteFold(content.data(), n) ^ ~0u) << n;
  }
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  const UniqueFd writer(open((dir / "fifo").c_str(), O_RDWR));  // data waiting in the FIFO
  ASSERT_EQ(write(writer.Get(), "123456789", 9), 9);
  std::filesystem::create_symlink(dir / "digits", dir / "link");
  for (const std::string path : {dir.Write("empty", ""), dir / "missing", dir / "fifo",
                                 dir / "link", dir.path(), std::filesystem::path("/dev/null")})
    EXPECT_EQ(FileCrc(path), 0u) << path;
}

}  // namespace

namespace {

constexpr uint64_t kMiB = 1 << 20;

// Sparse files with data at the start, the middle, the end, nowhere and in
// several places give the checksum of all their bytes read, holes and all;
// so does the plain read. Reading ends at the size seen, or where a file
// that shrank since then ends.
TEST(FileCrc, SparseFilesAsIfReadInFull) {
  scanunix_test::TempDir dir;
  std::mt19937 rng(11);
  const std::pair<uint64_t, std::vector<uint64_t>> layouts[] = {
      {8 * kMiB, {}},
      {3 * kMiB, {0}},
      {3 * kMiB, {kMiB + 123}},
      {3 * kMiB, {3 * kMiB - 5000}},
      {5 * kMiB, {0, kMiB - 1, 2 * kMiB + 4096, 5 * kMiB - 1}}};
  for (const auto& [size, data] : layouts) {
    const std::string path = (dir / "sparse").string();
    std::remove(path.c_str());
    const UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_EQ(ftruncate(fd.Get(), static_cast<off_t>(size)), 0);
    std::string image(size, '\0');
    for (uint64_t at : data) {
      const size_t n = std::min<size_t>(5000, size - at);
      for (size_t i = 0; i < n; ++i) image[at + i] = static_cast<char>(rng() | 1);
      ASSERT_EQ(pwrite(fd.Get(), image.data() + at, n, static_cast<off_t>(at)),
                static_cast<ssize_t>(n));
    }
    struct stat st {};
    ASSERT_EQ(fstat(fd.Get(), &st), 0);
    ASSERT_LT(static_cast<uint64_t>(st.st_blocks) * 512, size / 2) << "no holes here";
    const auto crcOf = [&](uint64_t n) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(image.data());
      return Crc32Update(~0u, bytes, std::min(n, size)) ^ ~0u;
    };
    EXPECT_EQ(FileCrc(path), crcOf(size)) << data.size() << " extents";
    CrcReader reader;
    for (bool dense : {false, true}) {
      for (uint64_t seen : {size / 2 + 1, size + kMiB}) {
        struct stat then = st;
        then.st_size = static_cast<off_t>(seen);
        if (dense) then.st_blocks = static_cast<blkcnt_t>(seen / 512);
        EXPECT_EQ(reader.Continue(fd.Get(), ~0u, 0, then) ^ ~0u, crcOf(seen)) << dense << seen;
      }
    }
  }
}

// A file of exabytes (terabytes where the file system allows no more) with
// a little data is done at once.
TEST(FileCrc, HugeSparseFile) {
  scanunix_test::TempDir dir;
  const std::string path = (dir / "huge").string();
  const UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  uint64_t size = 0;
  for (uint64_t candidate : {uint64_t{4} << 60, uint64_t{8} << 40})
    if (size == 0 && ftruncate(fd.Get(), static_cast<off_t>(candidate)) == 0) size = candidate;
  if (size == 0) GTEST_SKIP() << "the file system allows no file of 8 TiB";
  const uint64_t middle = size / 2 + 3;
  ASSERT_EQ(pwrite(fd.Get(), "123456789", 9, static_cast<off_t>(middle)), 9);
  ASSERT_EQ(pwrite(fd.Get(), "tail", 4, static_cast<off_t>(size - 4)), 4);
  uint32_t want = Crc32ExtendZeros(~0u, middle);
  want = Crc32ExtendZeros(ByteFold("123456789", 9, want), size - 4 - middle - 9);
  EXPECT_EQ(FileCrc(path), ByteFold("tail", 4, want) ^ ~0u) << size;
}

}  // namespace
