#include "base/tree_walk.h"

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

#include "temp_dir.h"

namespace {

using scanunix_test::TempDir;
namespace fs = std::filesystem;

// Descriptors held, counted one by one: those inherited may leave gaps.
int OpenDescriptors() {
  const fs::directory_iterator fds("/proc/self/fd");
  return static_cast<int>(std::distance(fds, fs::directory_iterator()));
}

class Recorder : public TreeVisitor {
 public:
  bool EnterDirectory(const std::string&) override { return true; }
  bool VisitEntry(const WalkEntry& entry) override {
    visited.push_back(entry.path);
    maxOpen = std::max(maxOpen, OpenDescriptors());
    // The entry is found through its directory, of the type reported.
    struct stat st {};
    const bool statted = fstatat(entry.dirFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    faults += !statted || (entry.type != DT_UNKNOWN && entry.type != IFTODT(st.st_mode));
    if (onEntry) onEntry(entry.path);
    return statted && S_ISDIR(st.st_mode);
  }

  std::vector<std::string> visited;
  int maxOpen = 0, faults = 0;
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
// to close and keeps the order of a plain recursion and the entries' types.
// (Paths past the bound: the file scan's tests.)
TEST(TreeWalk, SameOrderAsPlainRecursionWithinTheDescriptorBound) {
  TempDir tree;
  std::mt19937 rng(99);
  for (const char* top : {"a", "b", "c", "e"}) Grow(tree, rng, top, 1);
  std::string chain = "d0";  // narrow and deep, a file at every level
  for (int i = 1; i <= 10; ++i) tree.Write((chain += "/d" + std::to_string(i)) + "/f", "x");
  const std::string root = tree.path().string();
  std::vector<std::string> want;  // a plain recursion's, hidden names left out
  for (fs::recursive_directory_iterator it(root), end; it != end; ++it)
    if (it->path().filename().string().starts_with('.')) it.disable_recursion_pending();
    else want.push_back(it->path().string());
  ASSERT_GT(want.size(), 100u);
  const int base = OpenDescriptors();
  for (int bound : {2, 3, 5, 64}) {
    Recorder rec;
    EXPECT_EQ(WalkTree(root, rec, static_cast<size_t>(bound)).longPaths, 0u);
    EXPECT_EQ(rec.visited, want) << "bound " << bound;
    EXPECT_EQ(rec.faults, 0);
    EXPECT_LE(rec.maxOpen, base + bound) << "bound " << bound;
  }

  // A directory moved away mid-walk ends its part quietly.
  Recorder moving;
  moving.onEntry = [&](const std::string& path) {
    if (path.find("/d10/") != std::string::npos && !fs::exists(tree / "moved"))
      fs::rename(tree / "d0/d1/d2", tree / "moved");
  };
  WalkTree(root, moving, 3);
  EXPECT_TRUE(fs::exists(tree / "moved"));
  EXPECT_EQ(moving.faults, 0);
  EXPECT_LE(moving.visited.size(), want.size());
}

}  // namespace
