#include "scan/move_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>

#include "scan/unique_fd.h"

namespace {

bool CopyAll(int from, int to) {
  std::array<char, 128 * 1024> buffer;
  for (;;) {
    ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (const char* p = buffer.data(); n > 0;) {
      const ssize_t written = ::write(to, p, static_cast<size_t>(n));
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) return false;
      p += written;
      n -= written;
    }
  }
}

bool CopyThenRemove(const std::string& from, const std::string& to) {
  UniqueFd in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in) return false;
  UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!out) return false;
  if (!CopyAll(in.Get(), out.Get()) || ::fsync(out.Get()) != 0) {
    const int error = errno;
    ::unlink(to.c_str());  // a partial copy is no scan file
    errno = error;
    return false;
  }
  if (!out.Reset()) return false;
  ::unlink(from.c_str());
  return true;
}

}  // namespace

bool MoveFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  return CopyThenRemove(from, to);
}
