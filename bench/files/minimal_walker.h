/* Baseline for the walk benchmark: a minimal C tree walker. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

struct MinimalWalkCounts {
  unsigned long entries;     /* names visited */
  unsigned long candidates;  /* non-empty regular files opened */
  unsigned long elf;         /* candidates starting with the ELF magic */
};

/* Walks `root` depth-first with only the necessary system calls: open the
   directory, fstatat each entry, open and read 10 bytes of each candidate. */
void MinimalWalk(const char* root, struct MinimalWalkCounts* counts);

#ifdef __cplusplus
}
#endif
