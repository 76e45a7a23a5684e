// The synthetic tree the walk benchmarks scan, built once and kept.
#pragma once

#include <string>

struct BenchTree {
  std::string root;
  unsigned long entries = 0;  // directories, files and links below root
};

// About `entries` entries (10% ELF files, the rest small text files with a
// few empty files and links), under $TMPDIR (or /tmp). A finished tree of
// the same size from an earlier run is reused.
BenchTree MakeBenchTree(unsigned long entries);
