// Opens a file for reading only when it is (still) a regular file, so that
// nothing swapped in after lstat (FIFO, device, link) is read or blocks.
#pragma once

#include "base/fd_io.h"
#include "base/unique_fd.h"

// `name` relative to the directory `dirFd` (AT_FDCWD for the working
// directory). Invalid when it cannot be opened or is not a regular file.
// `keepAccessTime` asks for O_NOATIME; pass false when the caller knows
// the kernel would refuse it (file of another user, no privilege).
UniqueFd OpenRegularAt(int dirFd, const char* name, bool keepAccessTime = true);

