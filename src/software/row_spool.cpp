#include "software/row_spool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

#include "base/fd_io.h"

namespace {

constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

Status RowSpool::Open(const std::string& directory) {
  file_ = UniqueFd(::open(directory.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600));
  if (!file_) {
    // File systems without unnamed files: a private name, removed at once.
    std::string name = directory + "/.scanunix-packages.XXXXXX";
    file_ = UniqueFd(::mkostemp(name.data(), O_CLOEXEC));
    if (!file_) return ErrnoFailure("package list spool " + directory);
    ::unlink(name.c_str());
  }
  buffer_.reserve(kBufferSize);
  return {};
}

Status RowSpool::Flush() {
  if (buffer_.empty()) return {};
  if (!WriteAll(file_.Get(), buffer_.data(), buffer_.size()))
    return ErrnoFailure("package list spool");
  buffer_.clear();
  return {};
}

Status RowSpool::Append(std::string_view rows) {
  if (buffer_.size() + rows.size() > kBufferSize) {
    if (Status flushed = Flush(); !flushed) return flushed;
    if (rows.size() > kBufferSize) {
      if (!WriteAll(file_.Get(), rows.data(), rows.size())) return ErrnoFailure("package list spool");
      return {};
    }
  }
  buffer_.append(rows);
  return {};
}

Status RowSpool::Clear() {
  buffer_.clear();
  if (::ftruncate(file_.Get(), 0) != 0 || ::lseek(file_.Get(), 0, SEEK_SET) != 0)
    return ErrnoFailure("package list spool");
  return {};
}

Status RowSpool::CopyTo(DocumentWriter& document) {
  if (::lseek(file_.Get(), 0, SEEK_CUR) == 0) {  // all of it still in the buffer
    document.Markup(buffer_);
    return {};
  }
  if (Status flushed = Flush(); !flushed) return flushed;
  if (::lseek(file_.Get(), 0, SEEK_SET) != 0) return ErrnoFailure("package list spool");
  std::array<char, kBufferSize> chunk;
  for (;;) {
    const ssize_t n = ReadRetrying(file_.Get(), chunk.data(), chunk.size());
    if (n < 0) return ErrnoFailure("package list spool");
    if (n == 0) return {};
    document.Markup(std::string_view(chunk.data(), static_cast<size_t>(n)));
  }
}
