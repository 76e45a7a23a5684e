// Depth-first walk of a directory tree in the order of a plain recursion
// (a subdirectory is walked completely where its entry is met), but with
// an explicit stack and a bounded number of open directories, so no depth
// exhausts the stack or the descriptors and paths may be of any length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class TreeVisitor {
 public:
  virtual ~TreeVisitor() = default;
  // Before a directory (the root or a subdirectory) is opened; false
  // leaves it and everything below it out.
  virtual bool EnterDirectory(const std::string& path) = 0;
  // One entry (never "." or ".." or a hidden name) of the directory
  // `directory`, open as `dirFd`; `path` is the entry's full path. True
  // when the entry is a directory to walk into next.
  virtual bool VisitEntry(int dirFd, std::string_view directory, std::string_view name,
                          const std::string& path) = 0;
};

// Walks `root` (with or without a trailing "/"), holding at most
// `maxOpenDirs` directories open (at least two).
void WalkTree(const std::string& root, TreeVisitor& visitor, size_t maxOpenDirs = 64);
