#include "agent/move_file.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace {

using scanunix_test::ReadFile;
using scanunix_test::TempDir;

TEST(MoveFile, RenamesOrCopiesExactly) {
  TempDir dir;
  std::string content;
  for (int i = 0; i < 300000; ++i) content += static_cast<char>(i * 7);
  dir.Write("a", content);
  ASSERT_TRUE(MoveFile(dir / "a", dir / "b"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a"));
  EXPECT_EQ(ReadFile(dir / "b"), content);

  // /dev/shm is a file system of its own: the move becomes a copy.
  if (!std::filesystem::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  const std::filesystem::path shm = "/dev/shm/scanunix_move_test";
  ASSERT_TRUE(MoveFile(dir / "b", shm));
  EXPECT_FALSE(std::filesystem::exists(dir / "b"));
  EXPECT_EQ(ReadFile(shm), content);
  std::filesystem::remove(shm);
}

TEST(MoveFile, KeepsTheSourceWhenTheTargetCannotBeWritten) {
  TempDir dir;
  dir.Write("a", "keep");
  EXPECT_FALSE(MoveFile(dir / "a", dir / "missing" / "b"));
  EXPECT_EQ(ReadFile(dir / "a"), "keep");
}

}  // namespace
