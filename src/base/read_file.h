// Whole small files read into memory with a bound: kernel files under /proc
// and /sys, release files under /etc.
#pragma once

#include <cstddef>
#include <string>

#include "base/failure.h"

struct FileText {
  std::string text;
  bool cut = false;  // the file went on past the limit
};

// At most `limit` bytes of the regular file at `path`, read until its end:
// kernel files report a size of 0, so the size is not trusted. Links are
// followed. Fails, named by `path`, when it cannot be opened or is not a
// regular file; a read error ends the text.
Result<FileText> ReadFileUpTo(const std::string& path, size_t limit);
