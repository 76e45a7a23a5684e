#include "files/tree_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/dir_search.h"
#include "base/unique_fd.h"
#include "temp_dir.h"

namespace {

using scanunix_test::TempDir;
namespace fs = std::filesystem;

// Descriptors held, counted one by one: those inherited may leave gaps.
int OpenDescriptors() {
  const fs::directory_iterator fds("/proc/self/fd");
  return static_cast<int>(std::distance(fds, fs::directory_iterator()));
}

// What a plain recursion over DirSearch visits, in its order, and how many
// entries it leaves out for their path's length.
void Recurse(int parentFd, const std::string& path, std::vector<std::string>& out,
             uint64_t& longPaths) {
  DirSearch search;
  const std::string name = path.substr(path.rfind('/') + 1);
  bool ok = parentFd < 0 ? search.First(path.c_str(), "*")
                         : search.FirstAt(parentFd, name.c_str(), "*");
  for (; ok; ok = search.Next()) {
    const std::string full = path + "/" + std::string(search.name());
    if (full.size() > kMaxWalkPath) {
      ++longPaths;
      continue;
    }
    out.push_back(full);
    struct stat st {};
    if (fstatat(search.fd(), std::string(search.name()).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(st.st_mode))
      Recurse(search.fd(), full, out, longPaths);
  }
}

class Recorder : public TreeVisitor {
 public:
  bool EnterDirectory(const std::string&) override { return true; }
  bool VisitEntry(const WalkEntry& entry) override {
    visited.push_back(entry.path);
    maxOpen = std::max(maxOpen, OpenDescriptors());
    struct stat st {};
    const bool statted = fstatat(entry.dirFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    statFailures += !statted;
    typeMismatches += statted && entry.type != DT_UNKNOWN && entry.type != IFTODT(st.st_mode);
    if (onEntry) onEntry(entry.path);
    return statted && S_ISDIR(st.st_mode);
  }

  std::vector<std::string> visited;
  int maxOpen = 0, statFailures = 0, typeMismatches = 0;
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
// to close and keeps the order of a plain recursion and the entries' types;
// entries whose path is too long are counted, neither visited nor entered.
TEST(TreeWalk, SameOrderAsPlainRecursionWithinTheDescriptorAndPathBounds) {
  TempDir tree;
  std::mt19937 rng(99);
  for (const char* top : {"a", "b", "c", "e"}) Grow(tree, rng, top, 1);
  std::string chain = "d0";  // narrow and deep, a file at every level
  for (int i = 1; i <= 10; ++i) tree.Write((chain += "/d" + std::to_string(i)) + "/f", "x");
  // Long names past the path bound, a file of each name length at every level.
  UniqueFd level(open(tree.Dir("long").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (char c = 'a'; c < 'a' + 20; ++c) {
    for (size_t n : {1, 9, 200}) {
      const std::string file(n, 'f');
      UniqueFd(openat(level.Get(), file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    }
    const std::string name(250, c);
    ASSERT_EQ(mkdirat(level.Get(), name.c_str(), 0755), 0);
    level = UniqueFd(openat(level.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  const std::string root = tree.path().string();
  std::vector<std::string> want;
  uint64_t longPaths = 0;
  Recurse(-1, root, want, longPaths);
  ASSERT_GT(want.size(), 100u);
  ASSERT_GT(longPaths, 1u);
  level.Reset();
  const int base = OpenDescriptors();
  for (int bound : {2, 3, 5, 64}) {
    Recorder rec;
    EXPECT_EQ(WalkTree(root, rec, static_cast<size_t>(bound)).longPaths, longPaths);
    EXPECT_EQ(rec.visited, want) << "bound " << bound;
    EXPECT_EQ(rec.statFailures + rec.typeMismatches, 0);
    EXPECT_LE(rec.maxOpen, base + bound) << "bound " << bound;
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
