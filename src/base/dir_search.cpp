#include "base/dir_search.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <cstring>

DirSearch::~DirSearch() { Close(); }

bool MatchesPattern(const std::string& pattern, const char* name) {
  return fnmatch(pattern.c_str(), name, FNM_PATHNAME | FNM_PERIOD) == 0;
}

bool DirSearch::First(const char* path, const char* pattern) {
  Close();
  DIR* dir = opendir(path);
  if (!dir) {
    pattern_ = pattern;
    return false;
  }
  return Start(dir, pattern);
}

bool DirSearch::FirstAt(int parentFd, const char* name, const char* pattern) {
  Close();
  pattern_ = pattern;
  const int fd = openat(parentFd, name,
                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return false;
  }
  return Start(dir, pattern);
}

bool DirSearch::Start(DIR* dir, const char* pattern) {
  dir_ = dir;
  pattern_ = pattern;
  // With no locale set, "*" under FNM_PERIOD matches exactly the names
  // without a leading "."; the walk asks this for every entry.
  matchAllVisible_ = pattern_ == "*";
  done_ = false;
  return Advance();
}

bool DirSearch::Next() {
  if (!dir_) return false;
  return Advance();
}

bool DirSearch::Advance() {
  if (done_) return false;
  for (;;) {
    entry_ = readdir(dir_);
    if (!entry_) {
      done_ = true;
      return false;
    }
    if (Matches()) return true;
  }
}

bool DirSearch::Close() {
  entry_ = nullptr;
  if (!dir_) return false;
  const bool ok = closedir(dir_) == 0;
  dir_ = nullptr;
  return ok;
}

std::string_view DirSearch::name() const {
  return entry_ ? std::string_view(entry_->d_name) : std::string_view();
}

unsigned char DirSearch::type() const {
  return entry_ ? entry_->d_type : static_cast<unsigned char>(DT_UNKNOWN);
}

bool DirSearch::Matches() const {
  if (!entry_) return false;
  if (matchAllVisible_) return entry_->d_name[0] != '.';
  return MatchesPattern(pattern_, entry_->d_name);
}

int DirSearch::Get() const { return dir_ ? dirfd(dir_) : -1; }
