#include "files/tree_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "files/dir_search.h"
#include "scan/unique_fd.h"
#include "files/test_tree.h"

namespace {

using files_test::TempTree;
namespace fs = std::filesystem;

// What a plain recursion over CDirSearch visits, in its order.
void Recurse(const std::string& path, std::vector<std::string>& out) {
  CDirSearch search;
  for (bool ok = search.FindFirst(path.c_str(), "*"); ok; ok = search.FindNext()) {
    const std::string name = search.GetFileName();
    const std::string full = path + (path.back() == '/' ? "" : "/") + name;
    out.push_back(full);
    struct stat st {};
    if (lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Recurse(full, out);
  }
}

class Recorder : public TreeVisitor {
 public:
  bool EnterDirectory(const std::string& path) override {
    entered.push_back(path);
    return skip.empty() || path.find(skip) == std::string::npos;
  }
  bool VisitEntry(int dirFd, std::string_view directory, std::string_view name,
                  const std::string& path) override {
    EXPECT_EQ(path.substr(0, directory.size()), directory);
    EXPECT_EQ(path.substr(path.size() - name.size()), name);
    visited.push_back(path);
    // The lowest free descriptor shows how many are held.
    const int probe = open("/dev/null", O_RDONLY | O_CLOEXEC);
    maxFd = std::max(maxFd, probe);
    close(probe);
    struct stat st {};
    if (fstatat(dirFd, path.c_str() + path.size() - name.size(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      ++statFailures;
      return false;
    }
    if (onEntry) onEntry(path);
    return S_ISDIR(st.st_mode);
  }

  std::vector<std::string> entered, visited;
  std::string skip;
  int maxFd = 0;
  int statFailures = 0;
  std::function<void(const std::string&)> onEntry;
};

// A random tree: directories of mixed width and depth, files, links, hidden entries.
void Grow(const TempTree& tree, std::mt19937& rng, const std::string& rel, int depth) {
  const std::string prefix = rel.empty() ? "" : rel + "/";
  const int entries = 2 + static_cast<int>(rng() % 5);
  for (int i = 0; i < entries; ++i) {
    const std::string name = prefix + "n" + std::to_string(i) + (rng() % 5 == 0 ? ".x" : "");
    switch (rng() % 5) {
      case 0:
      case 4:
        if (depth < 6) {
          tree.Dir(name);
          Grow(tree, rng, name, depth + 1);
          break;
        }
        [[fallthrough]];
      case 1: tree.Write(name, "data"); break;
      case 2: fs::create_symlink("/", tree / name); break;
      default: tree.Write(prefix + ".h" + std::to_string(i), "hidden"); break;
    }
  }
}

TEST(TreeWalk, SameOrderAsPlainRecursionWhateverTheDescriptorBound) {
  TempTree tree;
  std::mt19937 rng(99);
  Grow(tree, rng, "", 0);
  for (const char* top : {"a", "b", "c", "e"}) {
    tree.Dir(top);
    Grow(tree, rng, top, 1);
  }
  tree.Dir("d1/d2/d3/d4/d5/d6/d7/d8");
  tree.Write("d1/d2/d3/d4/zz", "x");
  std::vector<std::string> want;
  Recurse(tree.root().string(), want);
  ASSERT_GT(want.size(), 100u);
  ASSERT_LT(want.size(), 5000u);
  for (size_t bound : {2, 3, 5, 64}) {
    Recorder rec;
    WalkTree(tree.root().string(), rec, bound);
    EXPECT_EQ(rec.visited, want) << "bound " << bound;
    EXPECT_EQ(rec.statFailures, 0);
  }
}

TEST(TreeWalk, RootWithTrailingSlashAndRelativeRoot) {
  TempTree tree;
  tree.Write("a/b", "x");
  Recorder slash;
  WalkTree(tree.root().string() + "/", slash);
  EXPECT_EQ(slash.visited, (std::vector<std::string>{tree.root().string() + "/a",
                                                      tree.root().string() + "/a/b"}));
  const fs::path old = fs::current_path();
  fs::current_path(tree.root());
  Recorder relative;
  WalkTree("a", relative, 2);
  fs::current_path(old);
  EXPECT_EQ(relative.visited, (std::vector<std::string>{"a/b"}));
}

TEST(TreeWalk, LeftOutDirectoryIsNeverOpened) {
  TempTree tree;
  tree.Write("keep/f", "x");
  tree.Write("skip/f", "x");
  Recorder rec;
  rec.skip = "skip";
  WalkTree(tree.root().string(), rec);
  for (const auto& p : rec.visited) EXPECT_EQ(p.find("skip/"), std::string::npos) << p;
  EXPECT_EQ(rec.visited.size(), 3u);
}

TEST(TreeWalk, MissingRootIsEmpty) {
  Recorder rec;
  WalkTree("/nonexistent/scanunix/root", rec);
  EXPECT_TRUE(rec.visited.empty());
  EXPECT_EQ(rec.entered.size(), 1u);
}

// A chain 10,000 directories deep, with files beside some of its
// directories, is walked completely and in recursion order, with few
// descriptors and paths far beyond PATH_MAX.
TEST(TreeWalk, TenThousandLevelsDeep) {
  TempTree tree;
  constexpr int kDepth = 10000;
  files_test::MakeChain(tree.root(), kDepth, [](int level) { return level % 3 == 0; });

  // Expected order: at each level the names before "dd", "dd" itself and
  // its whole subtree, then the names after it.
  std::vector<std::string> want, after;
  std::vector<std::vector<std::string>> tails;
  std::string path = tree.root().string();
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY));
  for (int level = 0; level < kDepth; ++level) {
    DIR* dir = fdopendir(dup(fd.Get()));
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> names;
    for (dirent* e; (e = readdir(dir));)
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    closedir(dir);
    std::vector<std::string> tail;
    bool seenDir = false;
    for (const auto& n : names) {
      if (seenDir) tail.push_back(path + "/" + n);
      else want.push_back(path + "/" + n);
      seenDir = seenDir || n == "dd";
    }
    tails.push_back(std::move(tail));
    path += "/dd";
    fd.Reset(openat(fd.Get(), "dd", O_RDONLY | O_DIRECTORY));
    ASSERT_TRUE(fd.Valid());
  }
  fd.Reset();
  for (auto it = tails.rbegin(); it != tails.rend(); ++it)
    want.insert(want.end(), it->begin(), it->end());

  Recorder rec;
  WalkTree(tree.root().string(), rec, 16);
  EXPECT_EQ(rec.statFailures, 0);
  ASSERT_EQ(rec.visited.size(), static_cast<size_t>(kDepth + (kDepth + 2) / 3));
  EXPECT_TRUE(rec.visited == want);
  EXPECT_GT(rec.visited.back().size() + rec.visited[kDepth].size(), 30000u);
  EXPECT_LT(rec.maxFd, 40);
  files_test::RemoveChain(tree.root(), kDepth);
}

TEST(TreeWalk, DirectoryMovedAwayDuringTheWalkEndsItsPartQuietly) {
  TempTree tree;
  std::string rel;
  for (int i = 0; i < 12; ++i) {
    rel += "/d" + std::to_string(i);
    tree.Dir(rel.substr(1));
    for (int k = 0; k < 3; ++k) tree.Write(rel.substr(1) + "/f" + std::to_string(k), "x");
  }
  Recorder rec;
  bool moved = false;
  rec.onEntry = [&](const std::string& path) {
    if (!moved && path.find("/d11/") != std::string::npos) {
      moved = true;
      fs::rename(tree / "d0/d1/d2", tree / "moved");
    }
  };
  WalkTree(tree.root().string(), rec, 3);
  EXPECT_TRUE(moved);
  EXPECT_EQ(rec.statFailures, 0);
  EXPECT_LT(rec.visited.size(), 60u);
  for (const auto& p : rec.visited) EXPECT_EQ(p.find("/moved"), std::string::npos);
}

}  // namespace
