#include "base/fd_io.h"

#include <unistd.h>

#include <cerrno>

ssize_t ReadRetrying(int fd, void* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

ssize_t PreadRetrying(int fd, void* buffer, size_t size, uint64_t offset) {
  for (;;) {
    const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
    if (n >= 0 || errno != EINTR) return n;
  }
}

size_t ReadUpTo(int fd, void* buffer, size_t size) {
  auto* p = static_cast<char*>(buffer);
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ReadRetrying(fd, p + got, size - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}
