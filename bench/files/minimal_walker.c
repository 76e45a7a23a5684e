#define _GNU_SOURCE /* O_NOATIME */
#include "minimal_walker.h"

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum {
  kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC,
  kFileFlags = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_NOATIME | O_CLOEXEC,
};

static void ReadHead(int dirFd, const char* name, struct MinimalWalkCounts* counts) {
  int file = openat(dirFd, name, kFileFlags);
  if (file < 0) return;
  struct stat st;
  unsigned char head[10];
  if (fstat(file, &st) == 0 && S_ISREG(st.st_mode) && read(file, head, sizeof head) > 8 &&
      memcmp(head, "\177ELF", 4) == 0)
    counts->elf++;
  close(file);
}

static void WalkFd(int fd, enum MinimalWalkMode mode, struct MinimalWalkCounts* counts) {
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return;
  }
  struct dirent* e;
  while ((e = readdir(dir)) != NULL) {
    if (e->d_name[0] == '.') continue;
    counts->entries++;
    struct stat st;
    if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      int sub = openat(fd, e->d_name, kDirFlags);
      if (sub >= 0) WalkFd(sub, mode, counts);
    } else if (S_ISREG(st.st_mode) && st.st_size > 0) {
      counts->candidates++;
      if (mode == kMinimalSafeRead) ReadHead(fd, e->d_name, counts);
    }
  }
  closedir(dir);
}

void MinimalWalk(const char* root, enum MinimalWalkMode mode, struct MinimalWalkCounts* counts) {
  int fd = open(root, kDirFlags);
  if (fd >= 0) WalkFd(fd, mode, counts);
}
