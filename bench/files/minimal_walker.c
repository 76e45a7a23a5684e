#include "minimal_walker.h"

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static void WalkFd(int fd, struct MinimalWalkCounts* counts) {
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
      int sub = openat(fd, e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (sub >= 0) WalkFd(sub, counts);
    } else if (S_ISREG(st.st_mode) && st.st_size > 0) {
      int file = openat(fd, e->d_name, O_RDONLY | O_CLOEXEC);
      if (file < 0) continue;
      unsigned char head[10];
      counts->candidates++;
      if (read(file, head, sizeof head) > 8 && memcmp(head, "\177ELF", 4) == 0) counts->elf++;
      close(file);
    }
  }
  closedir(dir);
}

void MinimalWalk(const char* root, struct MinimalWalkCounts* counts) {
  int fd = open(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) WalkFd(fd, counts);
}
