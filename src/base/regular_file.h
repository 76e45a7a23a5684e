// Opens a file for reading only when it is (still) a regular file, so that
// nothing swapped in after lstat or the directory read (FIFO, device, link)
// is read or blocks. Every "open a regular file" goes through here.
#pragma once

#include <sys/stat.h>

#include "base/failure.h"
#include "base/unique_fd.h"

struct OpenMode {
  // A link is followed (settings, kernel and release files, the scan file);
  // otherwise it is refused (anything met while walking a tree).
  bool followLinks = false;
  // Asks for O_NOATIME, opened again without it when the kernel refuses (a
  // file of another user, no privilege); false when the caller knows it would.
  bool keepAccessTime = true;
};

// `name` relative to the directory `dirFd` (AT_FDCWD for the working
// directory). Fails as "open" with the errno, EINVAL when it is not a
// regular file. `st`, when given, gets the descriptor's fstat.
Result<UniqueFd> OpenRegularAt(int dirFd, const char* name, OpenMode mode = {},
                               struct stat* st = nullptr);
