#include "agent/run_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "base/output_file.h"

namespace {

// The folder part of `path`, "." when it has none.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Also a POSIX record lock on the same file: flock says nothing about its
// holder, but F_GETLK names the process holding this one.
void MarkHolder(int fd) {
  struct flock record {};
  record.l_type = F_WRLCK;
  record.l_whence = SEEK_SET;
  ::fcntl(fd, F_SETLK, &record);
}

std::optional<pid_t> HolderOf(int fd) {
  struct flock record {};
  record.l_type = F_WRLCK;
  record.l_whence = SEEK_SET;
  if (::fcntl(fd, F_GETLK, &record) != 0 || record.l_type == F_UNLCK || record.l_pid <= 0)
    return std::nullopt;
  return record.l_pid;
}

}  // namespace

RunLockAttempt TakeRunLock(const std::string& folder) {
  RunLockAttempt attempt;
  const std::string path = (folder.empty() || folder.ends_with('/') ? folder : folder + "/") +
                           kRunLockName;
  // O_NONBLOCK: a FIFO planted under the name must not hang the run.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  struct stat st {};
  if (!fd) {
    attempt.failure = ErrnoFailure(path);
    return attempt;
  }
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    attempt.failure = ErrnoFailure(path, S_ISREG(st.st_mode) || st.st_mode == 0 ? errno : EINVAL);
    return attempt;
  }
  while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      attempt.failure = ErrnoFailure(path);
      return attempt;
    }
    attempt.held = true;
    attempt.holder = HolderOf(fd.Get());
    return attempt;
  }
  MarkHolder(fd.Get());
  attempt.lock.emplace(std::move(fd));
  return attempt;
}

int RemoveStaleTemporaryFiles(const std::string& scanFile) {
  const std::string folder = FolderOf(scanFile);
  const std::string name = scanFile.substr(scanFile.rfind('/') + 1);
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return 0;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(dirFd), ::closedir);
  if (!dir) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  const uid_t self = ::geteuid();
  while (const dirent* entry = ::readdir(dir.get())) {
    if (!IsTemporaryNameFor(entry->d_name, name)) continue;
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != self) continue;
    if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
  }
  return removed;
}
