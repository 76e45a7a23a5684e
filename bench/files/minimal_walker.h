/* Baselines for the walk benchmark: minimal C tree walkers. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

struct MinimalWalkCounts {
  unsigned long entries;     /* names visited */
  unsigned long candidates;  /* non-empty regular files */
  unsigned long elf;         /* candidates starting with the ELF magic */
};

enum MinimalWalkMode {
  /* fstatat per entry, nothing more: the floor for listing every file. */
  kMinimalStat,
  /* fstatat per entry, then per candidate the open a hostile tree needs
     (no links followed, no FIFO waited for, no terminal taken, access time
     kept), fstat on the descriptor to confirm a regular file, a read of
     10 bytes and the close: the floor for selecting ELF files safely the
     usual way. */
  kMinimalSafeRead,
};

/* Walks `root` depth-first (hidden names skipped) with only those system
   calls, and the opening and reading of each directory. */
void MinimalWalk(const char* root, enum MinimalWalkMode mode, struct MinimalWalkCounts* counts);

#ifdef __cplusplus
}
#endif
