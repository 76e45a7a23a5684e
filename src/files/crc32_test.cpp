#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "files/crc32.h"
#include "files/crc32_arm.h"
#include "files/file_crc.h"
#include "temp_dir.h"

namespace {

// The reference: the byte-at-a-time table fold.
uint32_t ByteFold(const void* data, size_t size, uint32_t crc = ~0u) {
  for (size_t i = 0; i < size; ++i) crc = Crc32FoldByte(crc, static_cast<const unsigned char*>(data)[i]);
  return crc;
}

// Every length up to a few hundred bytes (all tail and lane combinations),
// then long random lengths, each at every alignment within 16 bytes and
// from a random running value. Crc32Update takes this processor's fast path;
// the ARMv8 instructions are also checked directly wherever they exist.
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
      ASSERT_EQ(Crc32Update(seed, p, n), want) << "length " << n << " align " << align;
      ASSERT_EQ(Crc32UpdatePortable(seed, p, n), want) << "length " << n << " align " << align;
      if (Crc32ArmSupported()) {
        ASSERT_EQ(Crc32UpdateArm(seed, p, n), want) << "length " << n << " align " << align;
      }
    }
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
