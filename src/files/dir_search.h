// Enumerates the entries of one directory whose names match a wildcard.
#pragma once

#include <dirent.h>

#include <string>
#include <string_view>

class CDirSearch {
 public:
  CDirSearch() = default;
  ~CDirSearch();
  CDirSearch(const CDirSearch&) = delete;
  CDirSearch& operator=(const CDirSearch&) = delete;

  // Opens `path` and advances to the first entry matching `pattern`.
  // False when there is none, the directory cannot be opened or a read fails.
  bool FindFirst(const char* path, const char* pattern);
  // The same for the directory `name` inside the open directory `parentFd`;
  // a symbolic link at `name` is refused, so the caller's lstat still holds.
  bool FindFirstAt(int parentFd, const char* name, const char* pattern);
  // Advances to the next matching entry; false at the end, after a read
  // error, and ever after once it has returned false.
  bool FindNext();
  // True when an open stream was closed without error.
  bool Close();

  // Bare name of the current entry, as the directory stores it.
  std::string GetFileName() const { return std::string(FileName()); }
  std::string_view FileName() const;
  // Whether the current entry's name matches the pattern (fnmatch with
  // FNM_PATHNAME | FNM_PERIOD, so "*" never matches a leading ".").
  bool Match() const;

  // errno of the last failed open or read; 0 since FindFirst otherwise.
  int GetLastError() const { return m_nLastError; }
  // Descriptor of the open directory, -1 when none is open.
  int Fd() const;

 private:
  bool Start(DIR* dir, const char* pattern);
  bool Advance();

  DIR* m_pDir = nullptr;
  const dirent* m_pEntry = nullptr;
  std::string m_szPattern;
  bool m_bMatchAllVisible = false;  // pattern "*": skip fnmatch
  bool m_bDone = false;
  int m_nLastError = 0;
};

// fnmatch with the flags CDirSearch uses, for any name and pattern.
bool MatchesPattern(const std::string& pattern, const char* name);
