// A tiny FUSE file system for the tests: one directory holding ELF files
// named elf0, elf1, ... (one unless --files says more).
// It appends the name and path of every call it serves to a record file, so
// a test can tell whether anything reached it; with --block it never
// answers, as a server that is gone.
//   fuse_server MOUNTPOINT --record=FILE [--block] [--files=N] [-o fsname=...,subtype=...]
#define FUSE_USE_VERSION 31
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static struct {
  const char* record;
  int block;
  int files;
} options = {NULL, 0, 1};

static const struct fuse_opt option_spec[] = {
    {"--record=%s", offsetof(__typeof__(options), record), 0},
    {"--block", offsetof(__typeof__(options), block), 1},
    {"--files=%d", offsetof(__typeof__(options), files), 0},
    FUSE_OPT_END};

static const char elf[16] = "\x7f" "ELF\x02\x01\x01";

static void served(const char* call, const char* path) {
  char line[4200];
  const int n = snprintf(line, sizeof line, "%s %s\n", call, path);
  const int fd = open(options.record, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) {
    if (write(fd, line, (size_t)n) < 0) {}
    close(fd);
  }
  while (options.block) pause();
}

static int do_getattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  (void)fi;
  served("getattr", path);
  memset(st, 0, sizeof *st);
  int n, end = 0;
  if (strcmp(path, "/") == 0) {
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
  } else if (sscanf(path, "/elf%d%n", &n, &end) == 1 && path[end] == '\0' && n >= 0 &&
             n < options.files) {  // "/elf<n>" for an n below the file count
    st->st_mode = S_IFREG | 0755;
    st->st_nlink = 1;
    st->st_size = sizeof elf;
  } else {
    return -ENOENT;
  }
  return 0;
}

static int do_readdir(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
  (void)offset, (void)fi, (void)flags;
  served("readdir", path);
  fill(buf, ".", NULL, 0, 0);
  fill(buf, "..", NULL, 0, 0);
  for (int i = 0; i < options.files; ++i) {
    char name[32];
    snprintf(name, sizeof name, "elf%d", i);
    fill(buf, name, NULL, 0, 0);
  }
  return 0;
}

// Opening a file or a directory.
static int do_open(const char* path, struct fuse_file_info* fi) {
  (void)fi;
  served("open", path);
  return 0;
}

static int do_read(const char* path, char* buf, size_t size, off_t offset,
                   struct fuse_file_info* fi) {
  (void)fi;
  served("read", path);
  if (offset >= (off_t)sizeof elf) return 0;
  if (size > sizeof elf - (size_t)offset) size = sizeof elf - (size_t)offset;
  memcpy(buf, elf + offset, size);
  return (int)size;
}

static int do_statfs(const char* path, struct statvfs* st) {
  served("statfs", path);
  memset(st, 0, sizeof *st);
  return 0;
}

static int do_access(const char* path, int mask) {
  (void)mask;
  served("access", path);
  return 0;
}

static const struct fuse_operations operations = {
    .getattr = do_getattr, .opendir = do_open, .readdir = do_readdir, .open = do_open,
    .read = do_read,       .statfs = do_statfs,   .access = do_access,
};

int main(int argc, char* argv[]) {
  struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
  if (fuse_opt_parse(&args, &options, option_spec, NULL) != 0 || !options.record) return 2;
  const int status = fuse_main(args.argc, args.argv, &operations, NULL);
  fuse_opt_free_args(&args);
  return status;
}
