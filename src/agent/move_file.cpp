#include "agent/move_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>

#include "base/fd_io.h"
#include "base/unique_fd.h"

namespace {

bool CopyAll(int from, int to) {
  std::array<char, 128 * 1024> buffer;
  for (;;) {
    const ssize_t n = ReadRetrying(from, buffer.data(), buffer.size());
    if (n <= 0) return n == 0;
    if (!WriteAll(to, buffer.data(), static_cast<size_t>(n))) return false;
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
