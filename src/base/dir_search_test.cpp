#include "base/dir_search.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Names = std::multiset<std::string>;

Names All(const fs::path& dir, const char* pattern) {
  Names names;
  DirSearch search;
  for (bool ok = search.First(dir.c_str(), pattern); ok; ok = search.Next())
    names.insert(std::string(search.name()));
  return names;
}

// Names with wildcards, markup and any first byte: the fast path for "*"
// takes exactly what fnmatch takes, which is every name but the hidden ones.
// (A link put where a directory was: FileScan.EntriesSwappedAfterTheDirectory...)
TEST(DirSearch, StarTakesWhatFnmatchTakes) {
  scanunix_test::TempDir dir;
  std::vector<std::string> names{
      "a*b", "q?", "[x]", "amp&\"<>", std::string("ctl\x01\x7f\xff", 6), ".cache"};
  for (int c = 1; c < 256; ++c)
    if (c != '/') names.push_back({static_cast<char>(c), 'z'});
  Names visible;
  for (const auto& name : names) {
    dir.Write(name + "/inner", "x");
    if (MatchesPattern("*", name.c_str())) visible.insert(name);
  }
  EXPECT_EQ(All(dir.path(), "*"), visible);
  EXPECT_EQ(All(dir.path(), ".*"), (Names{".", "..", ".cache", ".z"}));  // other patterns: fnmatch
}

// More entries than one read of the directory stream returns; errors are
// reported; every search gives its descriptor back.
TEST(DirSearch, ManyEntriesErrorsAndDescriptors) {
  scanunix_test::TempDir dir;
  Names want;
  for (int i = 0; i < 1500; ++i)
    want.insert(dir.Write("entry_with_a_longer_name_" + std::to_string(i), "x").filename());
  const int before = UniqueFd(open("/dev/null", O_RDONLY)).Get();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(All(dir.path(), "*"), want);
  for (const fs::path& path : {dir / "nope", dir / "entry_with_a_longer_name_0", dir.Dir("empty")})
    EXPECT_FALSE(DirSearch().First(path.c_str(), "*")) << path;
  EXPECT_EQ(UniqueFd(open("/dev/null", O_RDONLY)).Get(), before);
}

}  // namespace
