#include "base/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "temp_dir.h"

namespace {

using scanunix_test::ReadFile;
using scanunix_test::TempDir;

TEST(OutputFile, WritesEverythingAcrossTheBufferSize) {
  TempDir dir;
  OutputFile out;
  ASSERT_TRUE(out.CreateExclusive(dir / "a.scn"));
  const std::string big(200000, 'x');
  out << "head\r\n" << big;
  for (int i = 0; i < 70000; ++i) out << 'z';
  EXPECT_TRUE(out.Close());
  EXPECT_FALSE(out.Close());
  out << "after close";
  EXPECT_EQ(ReadFile(dir / "a.scn"), "head\r\n" + big + std::string(70000, 'z'));
}

TEST(OutputFile, NeverFollowsOrReusesAPlantedPath) {
  TempDir dir;
  const auto victim = dir.Write("victim", "precious");
  std::filesystem::create_symlink(victim, dir / "link.scn");
  OutputFile out;
  EXPECT_FALSE(out.CreateExclusive(dir / "link.scn"));
  EXPECT_FALSE(out.CreateExclusive(victim));
  out << "lost";
  EXPECT_EQ(ReadFile(victim), "precious");
}

TEST(OutputFile, ReportsWritesThatFailed) {
  FdOutputBuffer buffer;
  buffer.Attach(UniqueFd(::open("/dev/full", O_WRONLY | O_CLOEXEC)));
  if (!buffer.IsOpen()) GTEST_SKIP() << "no /dev/full";
  std::ostream out(&buffer);
  out << std::string(100, 'x');
  EXPECT_FALSE(buffer.Close());
}

}  // namespace
