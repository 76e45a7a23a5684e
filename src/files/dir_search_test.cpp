#include "files/dir_search.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class DirSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "dirsearch.XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root_ / "locked", fs::perms::owner_all, ec);
    fs::remove_all(root_, ec);
  }
  void Touch(const std::string& name) { std::ofstream(root_ / name) << "x"; }

  std::set<std::string> All(const char* pattern, const fs::path& dir) {
    std::set<std::string> names;
    CDirSearch search;
    for (bool ok = search.FindFirst(dir.c_str(), pattern); ok; ok = search.FindNext())
      names.insert(search.GetFileName());
    return names;
  }

  fs::path root_;
};

TEST_F(DirSearchTest, EmptyDirectoryHasNoEntryAndNoError) {
  CDirSearch search;
  EXPECT_FALSE(search.FindFirst(root_.c_str(), "*"));
  EXPECT_EQ(search.GetLastError(), 0);
  EXPECT_FALSE(search.FindNext());
  EXPECT_TRUE(search.Close());
  EXPECT_FALSE(search.Close());
}

TEST_F(DirSearchTest, StarSkipsHiddenEntriesAndDots) {
  Touch(".a");
  fs::create_directory(root_ / ".cache");
  EXPECT_TRUE(All("*", root_).empty());
  Touch("b");
  EXPECT_EQ(All("*", root_), (std::set<std::string>{"b"}));
}

TEST_F(DirSearchTest, StarMatchesNamesHoldingWildcardsAndOddBytes) {
  const std::vector<std::string> names{"a*b", "q?", "[x]", "sp ace", "amp&\"<>",
                                       std::string("ctl\x01\x7f\xff", 6), "x.y."};
  for (const auto& n : names) Touch(n);
  EXPECT_EQ(All("*", root_), std::set<std::string>(names.begin(), names.end()));
}

TEST_F(DirSearchTest, OtherPatternsUseFnmatch) {
  for (const char* n : {"lib.so", "lib.so.6", "app", ".lib.so"}) Touch(n);
  EXPECT_EQ(All("*.so", root_), (std::set<std::string>{"lib.so"}));
  EXPECT_EQ(All(".*", root_), (std::set<std::string>{".", "..", ".lib.so"}));
  EXPECT_EQ(All("a?p", root_), (std::set<std::string>{"app"}));
}

TEST_F(DirSearchTest, FastStarAgreesWithFnmatchOnEveryByte) {
  for (int c = 1; c < 256; ++c) {
    if (c == '/') continue;
    const std::string name{static_cast<char>(c), 'z'};
    EXPECT_EQ(MatchesPattern("*", name.c_str()), name[0] != '.') << c;
  }
}

TEST_F(DirSearchTest, GetFileNameIsTheBareName) {
  Touch("libc.so.6");
  CDirSearch search;
  ASSERT_TRUE(search.FindFirst(root_.c_str(), "*"));
  EXPECT_EQ(search.GetFileName(), "libc.so.6");
  EXPECT_TRUE(search.Match());
}

TEST_F(DirSearchTest, UnopenableDirectoryReportsErrno) {
  CDirSearch missing;
  EXPECT_FALSE(missing.FindFirst((root_ / "nope").c_str(), "*"));
  EXPECT_EQ(missing.GetLastError(), ENOENT);
  EXPECT_FALSE(missing.FindNext());
  EXPECT_EQ(missing.Fd(), -1);

  Touch("plain");
  CDirSearch notDir;
  EXPECT_FALSE(notDir.FindFirst((root_ / "plain").c_str(), "*"));
  EXPECT_EQ(notDir.GetLastError(), ENOTDIR);

  if (geteuid() != 0) {
    fs::create_directory(root_ / "locked");
    fs::permissions(root_ / "locked", fs::perms::none);
    CDirSearch locked;
    EXPECT_FALSE(locked.FindFirst((root_ / "locked").c_str(), "*"));
    EXPECT_EQ(locked.GetLastError(), EACCES);
  }
}

TEST_F(DirSearchTest, FalseOnceStaysFalse) {
  Touch("only");
  CDirSearch search;
  ASSERT_TRUE(search.FindFirst(root_.c_str(), "*"));
  EXPECT_FALSE(search.FindNext());
  EXPECT_FALSE(search.FindNext());
  EXPECT_FALSE(search.FindNext());
}

TEST_F(DirSearchTest, ManyEntriesAllReturnedOnce) {
  std::set<std::string> want;
  // More than one read of the directory stream's buffer.
  for (int i = 0; i < 1500; ++i) {
    const std::string name = std::to_string(i).insert(0, "entry_with_a_longer_name_");
    want.insert(name);
    Touch(name);
  }
  std::vector<std::string> got;
  CDirSearch search;
  for (bool ok = search.FindFirst(root_.c_str(), "*"); ok; ok = search.FindNext())
    got.push_back(search.GetFileName());
  EXPECT_EQ(got.size(), want.size());
  EXPECT_EQ(std::set<std::string>(got.begin(), got.end()), want);
}

TEST_F(DirSearchTest, FindFirstAtOpensRelativeAndRefusesLinks) {
  fs::create_directory(root_ / "sub");
  Touch("sub/inner");
  fs::create_directory_symlink(root_ / "sub", root_ / "link");
  const int parent = open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(parent, 0);

  CDirSearch sub;
  ASSERT_TRUE(sub.FindFirstAt(parent, "sub", "*"));
  EXPECT_EQ(sub.GetFileName(), "inner");
  struct stat st {};
  EXPECT_EQ(fstatat(sub.Fd(), "inner", &st, AT_SYMLINK_NOFOLLOW), 0);

  CDirSearch link;
  EXPECT_FALSE(link.FindFirstAt(parent, "link", "*"));
  EXPECT_TRUE(link.GetLastError() == ENOTDIR || link.GetLastError() == ELOOP);
  close(parent);
}

TEST_F(DirSearchTest, DescriptorsAreReleased) {
  Touch("a");
  int before = open("/dev/null", O_RDONLY);
  close(before);
  for (int i = 0; i < 2000; ++i) {
    CDirSearch search;
    ASSERT_TRUE(search.FindFirst(root_.c_str(), "*"));
  }
  int after = open("/dev/null", O_RDONLY);
  close(after);
  EXPECT_EQ(before, after);
}

}  // namespace
