// Reads and writes on a descriptor that carry on after an interrupting signal.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// One read of at most `size` bytes; -1 with errno on error, 0 at the end.
ssize_t ReadRetrying(int fd, void* buffer, size_t size);

// One read of at most `size` bytes at `offset`; -1 with errno on error.
ssize_t PreadRetrying(int fd, void* buffer, size_t size, uint64_t offset);

// Reads until `size` bytes are in or the file ends (or fails); returns the
// number of bytes read.
size_t ReadUpTo(int fd, void* buffer, size_t size);

// Writes all `size` bytes; false with errno when that fails.
bool WriteAll(int fd, const void* data, size_t size);
