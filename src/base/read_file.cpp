#include "base/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "base/fd_io.h"
#include "base/unique_fd.h"

std::optional<FileText> ReadFileUpTo(const std::string& path, size_t limit) {
  // Non-blocking: a FIFO put in place of the file must not hang the run.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;

  constexpr size_t kFirstChunk = 16 * 1024;  // most of these files fit at once
  FileText file;
  file.text.resize(std::min(limit, kFirstChunk));
  size_t used = 0;
  for (;;) {
    if (used == file.text.size()) {
      if (used == limit) break;
      file.text.resize(std::min(limit, 2 * used));
    }
    const ssize_t n = ReadRetrying(fd.Get(), file.text.data() + used, file.text.size() - used);
    if (n <= 0) {
      file.text.resize(used);
      return file;
    }
    used += static_cast<size_t>(n);
  }
  char next;
  file.cut = ReadRetrying(fd.Get(), &next, 1) > 0;
  return file;
}
