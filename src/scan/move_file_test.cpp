#include "scan/move_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

fs::path MakeDir(const char* base) {
  std::string tmpl = std::string(base) + "/move_test.XXXXXX";
  return mkdtemp(tmpl.data());
}

TEST(MoveFile, RenamesWithinOneFileSystem) {
  const fs::path dir = MakeDir("/tmp");
  std::ofstream(dir / "a", std::ios::binary) << std::string("x\0y", 3);
  ASSERT_TRUE(MoveFile(dir / "a", dir / "b"));
  EXPECT_FALSE(fs::exists(dir / "a"));
  EXPECT_EQ(Read(dir / "b"), std::string("x\0y", 3));
  fs::remove_all(dir);
}

TEST(MoveFile, CopiesExactlyAcrossFileSystems) {
  // /dev/shm is a tmpfs of its own on Linux; skip where it is not.
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  const fs::path from = MakeDir("/dev/shm");
  const fs::path to = MakeDir(fs::current_path().c_str());
  std::string content;
  for (int i = 0; i < 300000; ++i) content += static_cast<char>(i * 7);
  std::ofstream(from / "temp.scn", std::ios::binary) << content;
  ASSERT_TRUE(MoveFile(from / "temp.scn", to / "final.scn"));
  EXPECT_FALSE(fs::exists(from / "temp.scn"));
  EXPECT_EQ(Read(to / "final.scn"), content);
  fs::remove_all(from);
  fs::remove_all(to);
}

TEST(MoveFile, KeepsTheSourceWhenTheTargetCannotBeWritten) {
  const fs::path dir = MakeDir("/tmp");
  std::ofstream(dir / "a") << "keep";
  EXPECT_FALSE(MoveFile(dir / "a", dir / "missing" / "b"));
  EXPECT_EQ(Read(dir / "a"), "keep");
  fs::remove_all(dir);
}

}  // namespace
