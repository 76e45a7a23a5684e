// Enumerates the entries of one directory whose names match a wildcard; owns
// the directory stream.
#pragma once

#include <dirent.h>

#include <string>
#include <string_view>

class DirSearch {
 public:
  DirSearch() = default;
  ~DirSearch();
  DirSearch(const DirSearch&) = delete;
  DirSearch& operator=(const DirSearch&) = delete;

  // Opens `path` and advances to the first entry matching `pattern`.
  // False when there is none, the directory cannot be opened or a read fails.
  bool First(const char* path, const char* pattern);
  // The same for the directory `name` inside the open directory `parentFd`;
  // a symbolic link at `name` is refused, so the caller's lstat still holds.
  bool FirstAt(int parentFd, const char* name, const char* pattern);
  // Advances to the next matching entry; false at the end, after a read
  // error, and ever after once it has returned false.
  bool Next();
  // True when an open stream was closed without error.
  bool Close();

  // Bare name of the current entry, as the directory stores it.
  std::string_view name() const;
  // Its type as the directory reports it (DT_REG, DT_DIR, DT_LNK, ...);
  // DT_UNKNOWN where the file system does not say. The entry may have been
  // replaced since: a caller acting on it must not trust it for safety.
  unsigned char type() const;
  // Descriptor of the open directory, -1 when none is open.
  int Get() const;

 private:
  bool Start(DIR* dir, const char* pattern);
  bool Advance();
  // The current entry's name matches the pattern (fnmatch with FNM_PATHNAME
  // | FNM_PERIOD, so "*" never matches a leading ".").
  bool Matches() const;

  DIR* dir_ = nullptr;
  const dirent* entry_ = nullptr;
  std::string pattern_;
  bool matchAllVisible_ = false;  // pattern "*": skip fnmatch
  bool done_ = false;
};

// fnmatch with the flags DirSearch uses, for any name and pattern.
bool MatchesPattern(const std::string& pattern, const char* name);
