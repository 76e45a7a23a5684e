#include "base/read_file.h"

#include <fcntl.h>

#include <algorithm>

#include "base/fd_io.h"
#include "base/regular_file.h"

Result<FileText> ReadFileUpTo(const std::string& path, size_t limit) {
  auto opened = OpenRegularAt(AT_FDCWD, path.c_str(), OpenMode{.followLinks = true, .keepAccessTime = false});
  if (!opened) return ErrnoFailure(path, opened.failure().error);
  const UniqueFd fd = opened.TakeValue();

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
