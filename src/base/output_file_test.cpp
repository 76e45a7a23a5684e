#include "base/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using scanunix_test::ReadFile;
using scanunix_test::TempDir;

// The names in `dir`, to see that no temporary file is left behind.
size_t EntriesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(OutputFile, CommitGivesThePrivateFileItsNameOnlyAtTheEnd) {
  TempDir dir;
  const fs::path final = dir.Write("a.scn", "previous scan");
  const fs::path victim = dir.Write("victim", "precious");
  {
    OutputFile out;
    ASSERT_TRUE(out.Create(final));
    struct stat st {};
    ASSERT_EQ(stat(out.temporaryPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(out.temporaryPath().starts_with((dir / ".a.scn.").string()));
    const std::string big(200000, 'x');
    out << "head\r\n" << big;
    EXPECT_EQ(ReadFile(final), "previous scan");  // untouched until the commit
    for (int i = 0; i < 70000; ++i) out << 'z';
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(ReadFile(final), "head\r\n" + big + std::string(70000, 'z'));
  }
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
  // A link planted at the final name is replaced, never written through.
  fs::remove(final);
  fs::create_symlink(victim, final);
  OutputFile again;
  ASSERT_TRUE(again.Create(final));
  again << "new";
  ASSERT_TRUE(again.Commit());
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_EQ(ReadFile(final), "new");
}

TEST(OutputFile, WhatIsNotCommittedIsRemovedAndFailuresKeepTheOldFile) {
  TempDir dir;
  { OutputFile abandoned;
    ASSERT_TRUE(abandoned.Create(dir / "a.scn"));
    abandoned << "half";
  }
  EXPECT_EQ(EntriesIn(dir.path()), 0u);
  // The final name taken by a directory: the commit fails and cleans up.
  dir.Write("b.scn/keep", "x");
  OutputFile blocked;
  ASSERT_TRUE(blocked.Create(dir / "b.scn"));
  blocked << "data";
  EXPECT_FALSE(blocked.Commit());
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
  EXPECT_FALSE(OutputFile().Create(dir / "missing" / "c.scn"));
  EXPECT_EQ(errno, ENOENT);
}

TEST(OutputFile, RewindDropsWhatFollowsTheMark) {
  TempDir dir;
  OutputFile out;
  ASSERT_TRUE(out.Create(dir / "a.scn"));
  out << "keep";
  const std::optional<off_t> mark = out.Mark();
  ASSERT_EQ(mark, 4);
  out << std::string(100000, 'd') << "tail";  // partly written, partly buffered
  ASSERT_TRUE(out.RewindTo(*mark));
  out << "!";
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(ReadFile(dir / "a.scn"), "keep!");
}

TEST(OutputFile, ReportsTheErrorOfTheWriteThatFailed) {
  FdOutputBuffer buffer;
  buffer.Attach(UniqueFd(::open("/dev/full", O_WRONLY | O_CLOEXEC)));
  if (!buffer.IsOpen()) GTEST_SKIP() << "no /dev/full";
  std::ostream out(&buffer);
  out << std::string(100000, 'x');
  EXPECT_FALSE(buffer.Close());
  EXPECT_EQ(buffer.error(), ENOSPC);
}

}  // namespace
