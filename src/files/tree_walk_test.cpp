#include "files/tree_walk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/dir_search.h"
#include "temp_dir.h"

namespace {

using scanunix_test::TempDir;
namespace fs = std::filesystem;

// The lowest free descriptor shows how many are held.
int LowestFreeFd() {
  const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  close(fd);
  return fd;
}

// What a plain recursion over DirSearch visits, in its order.
void Recurse(const std::string& path, std::vector<std::string>& out) {
  DirSearch search;
  for (bool ok = search.First(path.c_str(), "*"); ok; ok = search.Next()) {
    const std::string full = path + "/" + std::string(search.name());
    out.push_back(full);
    struct stat st {};
    if (lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Recurse(full, out);
  }
}

class Recorder : public TreeVisitor {
 public:
  bool EnterDirectory(const std::string&) override { return true; }
  bool VisitEntry(int dirFd, std::string_view, std::string_view name,
                  const std::string& path) override {
    visited.push_back(path);
    maxFd = std::max(maxFd, LowestFreeFd());
    struct stat st {};
    const bool statted = fstatat(dirFd, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    statFailures += !statted;
    if (onEntry) onEntry(path);
    return statted && S_ISDIR(st.st_mode);
  }

  std::vector<std::string> visited;
  int maxFd = 0, statFailures = 0;
  std::function<void(const std::string&)> onEntry;
};

// A random tree: directories of mixed width and depth, files, links, hidden entries.
void Grow(const TempDir& tree, std::mt19937& rng, const std::string& rel, int depth) {
  tree.Dir(rel);
  for (int i = 0, entries = 2 + static_cast<int>(rng() % 5); i < entries; ++i) {
    const std::string name = rel + "/n" + std::to_string(i) + (rng() % 5 == 0 ? ".x" : "");
    const unsigned kind = rng() % 5;
    if (kind % 4 == 0 && depth < 7) Grow(tree, rng, name, depth + 1);
    else if (kind == 2) fs::create_symlink("/", tree / name);
    else tree.Write(kind == 3 ? rel + "/.h" + std::to_string(i) : name, "x");
  }
}

// However few directories it may hold open, the walk re-opens what it had
// to close and keeps the order of a plain recursion.
TEST(TreeWalk, SameOrderAsPlainRecursionWithinTheDescriptorBound) {
  TempDir tree;
  std::mt19937 rng(99);
  for (const char* top : {"a", "b", "c", "e"}) Grow(tree, rng, top, 1);
  std::string chain = "d0";  // narrow and deep, a file at every level
  for (int i = 1; i <= 10; ++i) tree.Write((chain += "/d" + std::to_string(i)) + "/f", "x");
  const std::string root = tree.path().string();
  std::vector<std::string> want;
  Recurse(root, want);
  ASSERT_GT(want.size(), 100u);
  const int base = LowestFreeFd();
  for (int bound : {2, 3, 5, 64}) {
    Recorder rec;
    WalkTree(root, rec, static_cast<size_t>(bound));
    EXPECT_EQ(rec.visited, want) << "bound " << bound;
    EXPECT_EQ(rec.statFailures, 0);
    EXPECT_LE(rec.maxFd, base + bound) << "bound " << bound;
  }

  // A directory moved away mid-walk ends its part quietly; nothing is read
  // through its new place.
  Recorder moving;
  moving.onEntry = [&](const std::string& path) {
    if (path.find("/d10/") != std::string::npos && !fs::exists(tree / "moved"))
      fs::rename(tree / "d0/d1/d2", tree / "moved");
  };
  WalkTree(root, moving, 3);
  EXPECT_TRUE(fs::exists(tree / "moved"));
  EXPECT_EQ(moving.statFailures, 0);
  EXPECT_LE(moving.visited.size(), want.size());
  for (const auto& p : moving.visited) EXPECT_EQ(p.find("/moved"), std::string::npos);
}

}  // namespace
