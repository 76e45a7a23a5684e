#include "scan/output_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/outfile_test.XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  fs::path dir_;
};

TEST_F(OutputFileTest, WritesEverythingAcrossTheBufferSize) {
  OutputFile out;
  ASSERT_TRUE(out.CreateExclusive(dir_ / "a.scn"));
  std::string big(200000, 'x');
  out << "head\r\n" << big << 'y';
  for (int i = 0; i < 70000; ++i) out << 'z';
  EXPECT_TRUE(out.close());
  EXPECT_EQ(ReadAll(dir_ / "a.scn"), "head\r\n" + big + "y" + std::string(70000, 'z'));
}

TEST_F(OutputFileTest, NeverFollowsOrReusesAPlantedPath) {
  const fs::path target = dir_ / "victim";
  { std::ofstream(target) << "precious"; }
  fs::create_symlink(target, dir_ / "link.scn");
  OutputFile out;
  EXPECT_FALSE(out.CreateExclusive(dir_ / "link.scn"));
  EXPECT_FALSE(out.CreateExclusive(target));
  out << "lost";  // writes to a stream that did not open go nowhere
  EXPECT_FALSE(out.is_open());
  EXPECT_EQ(ReadAll(target), "precious");
}

TEST_F(OutputFileTest, ReportsLostWrites) {
  OutputFile out;
  ASSERT_TRUE(out.CreateExclusive(dir_ / "b.scn"));
  out << "text";
  EXPECT_TRUE(out.close());
  EXPECT_FALSE(out.close());  // nothing open any more
  out << "more";
  EXPECT_EQ(ReadAll(dir_ / "b.scn"), "text");
  if (fs::exists("/dev/full")) {
    // /dev/full already exists, so open it through a fresh descriptor instead.
    FdOutputBuffer buf;
    buf.Attach(UniqueFd(::open("/dev/full", O_WRONLY)));
    std::ostream os(&buf);
    os << std::string(100, 'x');
    EXPECT_FALSE(buf.Close());
  }
}

}  // namespace
