// Opens a file for reading only when it is (still) a regular file, so that
// nothing swapped in after lstat or the directory read (FIFO, device, link)
// is read or blocks.
#pragma once

#include <sys/stat.h>

#include "base/fd_io.h"
#include "base/unique_fd.h"

// `name` relative to the directory `dirFd` (AT_FDCWD for the working
// directory). Invalid when it cannot be opened or is not a regular file.
// `keepAccessTime` asks for O_NOATIME (opened again without it when the
// kernel refuses: a file of another user, no privilege); pass false when the
// caller knows it would. `st`, when given, gets the descriptor's fstat.
UniqueFd OpenRegularAt(int dirFd, const char* name, bool keepAccessTime = true,
                       struct stat* st = nullptr);

