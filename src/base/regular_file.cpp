#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

UniqueFd OpenRegularAt(int dirFd, const char* name, bool keepAccessTime, struct stat* st) {
  // O_NONBLOCK: a FIFO opens at once; O_NOFOLLOW: a link is refused;
  // O_NOCTTY: a terminal does not become ours.
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
  // Access times stay as they were, where we own the file or hold CAP_FOWNER.
  UniqueFd fd(openat(dirFd, name, kFlags | (keepAccessTime ? O_NOATIME : 0)));
  if (!fd && keepAccessTime && errno == EPERM) fd.Reset(openat(dirFd, name, kFlags));
  if (!fd) return fd;
  struct stat own {};
  if (!st) st = &own;
  if (fstat(fd.Get(), st) != 0 || !S_ISREG(st->st_mode)) return UniqueFd();
  return fd;
}
