#include "base/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using scanunix_test::ReadFile;

size_t EntriesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(OutputFile, ThePrivateFileTakesItsNameOnlyAtTheCommit) {
  scanunix_test::TempDir dir;
  const fs::path final = dir.Write("a.scn", "previous scan");
  const fs::path victim = dir.Write("victim", "precious");
  {
    OutputFile out;
    ASSERT_TRUE(out.Create(final));
    EXPECT_EQ(fs::status(out.temporaryPath()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(out.temporaryPath().starts_with((dir / ".a.scn.").string()));
    EXPECT_TRUE(IsTemporaryNameFor(fs::path(out.temporaryPath()).filename().string(), "a.scn"));
    for (const char* other : {".a.scn.0123abcg", ".a.scn.0123abc", "a.scn.0123abcd", ".b.scn.0123abcd",
                              ".a.scn.0123abcd.x", ".a.scn"})
      EXPECT_FALSE(IsTemporaryNameFor(other, "a.scn")) << other;
    const std::string big(200000, 'x');  // past the buffer
    out << big;
    for (int i = 0; i < 70000; ++i) out << 'z';
    EXPECT_EQ(ReadFile(final), "previous scan");
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(ReadFile(final), big + std::string(70000, 'z'));
  }
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
  // A link planted at the final name is replaced, never written through.
  fs::remove(final);
  fs::create_symlink(victim, final);
  OutputFile again;
  ASSERT_TRUE(again.Create(final));
  again << "new";
  ASSERT_TRUE(again.Commit());
  EXPECT_EQ(ReadFile(victim) + ReadFile(final), "preciousnew");
}

TEST(OutputFile, WhatIsNotCommittedIsRemovedAndFailuresKeepTheOldFile) {
  scanunix_test::TempDir dir;
  {
    OutputFile abandoned;
    ASSERT_TRUE(abandoned.Create(dir / "a.scn"));
    abandoned << "half";
  }
  EXPECT_EQ(EntriesIn(dir.path()), 0u);
  dir.Write("b.scn/keep", "x");  // a directory at the final name: the commit fails
  OutputFile blocked;
  ASSERT_TRUE(blocked.Create(dir / "b.scn"));
  blocked << "data";
  const Status committed = blocked.Commit();
  ASSERT_FALSE(committed);
  EXPECT_EQ(committed.failure().what, "Error rename tmp file to scn file");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
  const Status missing = OutputFile().Create(dir / "missing" / "c.scn");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().error, ENOENT);
}

}  // namespace
