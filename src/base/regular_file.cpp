#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

Result<UniqueFd> OpenRegularAt(int dirFd, const char* name, OpenMode mode, struct stat* st) {
  // O_NONBLOCK: a FIFO opens at once; O_NOCTTY: a terminal does not become ours.
  const int flags =
      O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (mode.followLinks ? 0 : O_NOFOLLOW);
  // Access times stay as they were, where we own the file or hold CAP_FOWNER.
  UniqueFd fd(openat(dirFd, name, flags | (mode.keepAccessTime ? O_NOATIME : 0)));
  if (!fd && mode.keepAccessTime && errno == EPERM) fd.Reset(openat(dirFd, name, flags));
  if (!fd) return ErrnoFailure("open");
  struct stat own {};
  if (!st) st = &own;
  if (fstat(fd.Get(), st) != 0) return ErrnoFailure("open");
  if (!S_ISREG(st->st_mode)) return ErrnoFailure("open", EINVAL);
  return fd;
}
