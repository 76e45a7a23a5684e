#include "base/read_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "temp_dir.h"

namespace {

TEST(ReadFileUpTo, WholeOrCutAtTheLimit) {
  scanunix_test::TempDir dir;
  const std::string big(100000, 'b');  // past the first read's size
  const struct {
    std::string content;
    size_t limit;
    std::string text;
    bool cut;
  } cases[] = {
      {"", 10, "", false}, {"abc", 3, "abc", false}, {"abcd", 3, "abc", true},
      {"abc", 0, "", true}, {big, 1 << 20, big, false}, {big + "x", big.size(), big, true},
  };
  for (const auto& c : cases) {
    const auto file = ReadFileUpTo(dir.Write("f", c.content), c.limit);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->text, c.text);
    EXPECT_EQ(file->cut, c.cut) << c.content.size() << " " << c.limit;
  }
  std::filesystem::create_symlink(dir / "f", dir / "link");
  EXPECT_TRUE(ReadFileUpTo((dir / "link").string(), 10));
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const char* absent : {"fifo", "missing", "."})
    EXPECT_FALSE(ReadFileUpTo((dir / absent).string(), 10)) << absent;
  // Kernel files report a size of 0.
  const auto status = ReadFileUpTo("/proc/self/status", 1 << 20);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->text.starts_with("Name:\t") && status->text.ends_with("\n"));
}

}  // namespace
