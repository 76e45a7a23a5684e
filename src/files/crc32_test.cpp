#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "files/crc32.h"
#include "files/file_crc.h"

namespace fs = std::filesystem;

namespace {

uint32_t ByteFold(const unsigned char* data, size_t size, unsigned int crc = 0xFFFFFFFFu) {
  for (size_t i = 0; i < size; ++i) CalcCrc32(data[i], crc);
  return crc;
}

uint32_t ByteFold(const std::string& s) {
  return ByteFold(reinterpret_cast<const unsigned char*>(s.data()), s.size()) ^ 0xFFFFFFFFu;
}

TEST(Crc32Table, KnownEntries) {
  EXPECT_EQ(s_arrdwCrc32Table[0], 0u);
  EXPECT_EQ(s_arrdwCrc32Table[1], 0x77073096u);
  EXPECT_EQ(s_arrdwCrc32Table[128], 0xEDB88320u);
  EXPECT_EQ(s_arrdwCrc32Table[255], 0x2D02EF8Du);
}

TEST(Crc32Fold, CheckValues) {
  EXPECT_EQ(ByteFold("123456789"), 0xCBF43926u);
  EXPECT_EQ(ByteFold(std::string(1, '\0')), 0xD202EF8Du);
  EXPECT_EQ(ByteFold("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

// The fast paths against the per-byte fold: every length up to a few
// hundred bytes (all tail and lane combinations), then long random
// lengths, each at every alignment within 16 bytes.
TEST(Crc32Fast, MatchesByteFoldForAllLengthsAndAlignments) {
  std::mt19937 rng(12345);
  std::vector<unsigned char> data(70000 + 32);
  for (auto& b : data) b = static_cast<unsigned char>(rng());
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  std::uniform_int_distribution<size_t> len(300, 70000);
  for (int i = 0; i < 40; ++i) lengths.push_back(len(rng));
  for (size_t n : lengths) {
    for (size_t align = 0; align < 16; ++align) {
      const unsigned char* p = data.data() + align;
      const uint32_t seed = static_cast<uint32_t>(rng());
      const uint32_t want = ByteFold(p, n, seed);
      ASSERT_EQ(Crc32Update(seed, p, n), want) << "length " << n << " align " << align;
      ASSERT_EQ(Crc32UpdatePortable(seed, p, n), want) << "length " << n << " align " << align;
    }
  }
}

TEST(Crc32Fast, SplitUpdatesCompose) {
  std::vector<unsigned char> data(5000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + 3);
  const uint32_t whole = Crc32Update(0xFFFFFFFFu, data.data(), data.size());
  for (size_t cut : {0, 1, 15, 64, 65, 4096, 4999, 5000}) {
    uint32_t c = Crc32Update(0xFFFFFFFFu, data.data(), cut);
    c = Crc32Update(c, data.data() + cut, data.size() - cut);
    EXPECT_EQ(c, whole) << cut;
  }
}

class FileCrcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "filecrc.XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return (dir_ / name).string();
  }
  unsigned int Crc(const std::string& path) {
    unsigned int crc = 12345;
    EXPECT_EQ(FileCrc32Streams(path.c_str(), crc), 0);
    return crc;
  }
  fs::path dir_;
};

TEST_F(FileCrcTest, CheckValuesFromFiles) {
  EXPECT_EQ(Crc(Write("digits", "123456789")), 0xCBF43926u);
  EXPECT_EQ(Crc(Write("zero", std::string(1, '\0'))), 0xD202EF8Du);
  EXPECT_EQ(Crc(Write("empty", "")), 0u);
  EXPECT_EQ(Crc((dir_ / "missing").string()), 0u);
}

TEST_F(FileCrcTest, BlockEdgesAndBufferEdgesCountEveryByte) {
  std::mt19937 rng(7);
  const size_t buf = CrcReader::kBufferSize;
  for (size_t n : {size_t{4095}, size_t{4096}, size_t{4097}, buf - 1, buf, buf + 1,
                   3 * buf + 17}) {
    std::string content(n, '\0');
    for (auto& c : content) c = static_cast<char>(rng());
    const std::string name = "size" + std::to_string(n);
    EXPECT_EQ(Crc(Write(name, content)), ByteFold(content)) << n;
  }
}

TEST_F(FileCrcTest, NonRegularFilesAreNotRead) {
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(Crc((dir_ / "fifo").string()), 0u);  // must not block
  EXPECT_EQ(Crc(dir_.string()), 0u);
  EXPECT_EQ(Crc("/dev/null"), 0u);
  const std::string target = Write("target", "123456789");
  fs::create_symlink(target, dir_ / "link");
  EXPECT_EQ(Crc((dir_ / "link").string()), 0u);
}

TEST_F(FileCrcTest, AccessTimeIsKept) {
  const std::string path = Write("old", "some content");
  struct timespec times[2] = {{1000000, 0}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  Crc(path);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_atime, 1000000);
}

}  // namespace
