#include "files/dir_search.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

CDirSearch::~CDirSearch() { Close(); }

bool MatchesPattern(const std::string& pattern, const char* name) {
  return fnmatch(pattern.c_str(), name, FNM_PATHNAME | FNM_PERIOD) == 0;
}

bool CDirSearch::FindFirst(const char* path, const char* pattern) {
  m_nLastError = 0;
  Close();
  DIR* dir = opendir(path);
  if (!dir) {
    m_nLastError = errno;
    m_szPattern = pattern;
    return false;
  }
  return Start(dir, pattern);
}

bool CDirSearch::FindFirstAt(int parentFd, const char* name, const char* pattern) {
  m_nLastError = 0;
  Close();
  m_szPattern = pattern;
  const int fd = openat(parentFd, name,
                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    m_nLastError = errno;
    return false;
  }
  DIR* dir = fdopendir(fd);
  if (!dir) {
    m_nLastError = errno;
    ::close(fd);
    return false;
  }
  return Start(dir, pattern);
}

bool CDirSearch::Start(DIR* dir, const char* pattern) {
  m_pDir = dir;
  m_szPattern = pattern;
  // With no locale set, "*" under FNM_PERIOD matches exactly the names
  // without a leading "."; the walk asks this for every entry.
  m_bMatchAllVisible = m_szPattern == "*";
  m_bDone = false;
  return Advance();
}

bool CDirSearch::FindNext() {
  if (!m_pDir) return false;
  return Advance();
}

bool CDirSearch::Advance() {
  if (m_bDone) return false;
  for (;;) {
    errno = 0;
    m_pEntry = readdir(m_pDir);
    if (!m_pEntry) {
      if (errno != 0) m_nLastError = errno;
      m_bDone = true;
      return false;
    }
    if (Match()) return true;
  }
}

bool CDirSearch::Close() {
  m_pEntry = nullptr;
  if (!m_pDir) return false;
  const bool ok = closedir(m_pDir) == 0;
  m_pDir = nullptr;
  return ok;
}

std::string_view CDirSearch::FileName() const {
  return m_pEntry ? std::string_view(m_pEntry->d_name) : std::string_view();
}

bool CDirSearch::Match() const {
  if (!m_pEntry) return false;
  if (m_bMatchAllVisible) return m_pEntry->d_name[0] != '.';
  return MatchesPattern(m_szPattern, m_pEntry->d_name);
}

int CDirSearch::Fd() const { return m_pDir ? dirfd(m_pDir) : -1; }
