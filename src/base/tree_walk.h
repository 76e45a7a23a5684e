// Depth-first walk of a directory tree in the order of a plain recursion
// (a subdirectory is walked completely where its entry is met), but with
// an explicit stack and a bounded number of open directories, so no depth
// exhausts the stack or the descriptors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The longest path an entry may have to be visited: longer ones are left
// out with everything below them, so no row and no path grows past it.
constexpr size_t kMaxWalkPath = 4096;

// One entry (never "." or ".." or a hidden name) of a directory being walked.
struct WalkEntry {
  int dirFd;                   // the directory, open
  std::string_view directory;  // its path
  std::string_view name;       // the entry's name: the end of `path`, so zero-terminated
  const std::string& path;     // the entry's full path, at most kMaxWalkPath bytes
  // The type the directory reported (DT_REG, DT_DIR, ...), DT_UNKNOWN where
  // the file system does not say. The entry may have been replaced since.
  unsigned char type;
};

class TreeVisitor {
 public:
  virtual ~TreeVisitor() = default;
  // Before a directory (the root or a subdirectory) is opened; false
  // leaves it and everything below it out.
  virtual bool EnterDirectory(const std::string& path) = 0;
  // Once that directory is open as `dirFd`, before its entries are
  // visited; false leaves them out.
  virtual bool OpenedDirectory(int /*dirFd*/, const std::string& /*path*/) { return true; }
  // True when the entry is a directory to walk into next; the walk opens
  // it refusing anything else, a link included.
  virtual bool VisitEntry(const WalkEntry& entry) = 0;
};

struct WalkSummary {
  uint64_t longPaths = 0;  // entries left out: path longer than kMaxWalkPath
};

// Walks `root` (with or without a trailing "/"), holding at most
// `maxOpenDirs` directories open (at least two). Paths are the root as
// given followed by the names.
WalkSummary WalkTree(const std::string& root, TreeVisitor& visitor, size_t maxOpenDirs = 64);
