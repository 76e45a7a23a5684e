#include "base/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "base/fd_io.h"

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

FdOutputBuffer::FdOutputBuffer() : buffer_(kBufferSize) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FdOutputBuffer::~FdOutputBuffer() { Close(); }

void FdOutputBuffer::Attach(UniqueFd fd) {
  Close();
  fd_ = std::move(fd);
  failed_ = false;
}

bool FdOutputBuffer::Close() {
  if (!fd_) return false;
  bool ok = Drain() && !failed_;
  ok = fd_.Reset() && ok;
  return ok;
}

bool FdOutputBuffer::WriteAll(const char* data, size_t size) {
  if (!fd_ || failed_) return false;
  failed_ = !::WriteAll(fd_.Get(), data, size);
  return !failed_;
}

bool FdOutputBuffer::Drain() {
  bool ok = WriteAll(pbase(), static_cast<size_t>(pptr() - pbase()));
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return ok;
}

FdOutputBuffer::int_type FdOutputBuffer::overflow(int_type ch) {
  if (!Drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(ch, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
  }
  return traits_type::not_eof(ch);
}

std::streamsize FdOutputBuffer::xsputn(const char* data, std::streamsize size) {
  const auto room = epptr() - pptr();
  if (size <= room) {
    std::memcpy(pptr(), data, static_cast<size_t>(size));
    pbump(static_cast<int>(size));
    return size;
  }
  if (!Drain()) return 0;
  if (static_cast<size_t>(size) >= buffer_.size()) {
    return WriteAll(data, static_cast<size_t>(size)) ? size : 0;
  }
  std::memcpy(pptr(), data, static_cast<size_t>(size));
  pbump(static_cast<int>(size));
  return size;
}

int FdOutputBuffer::sync() { return Drain() ? 0 : -1; }

OutputFile::OutputFile() : std::ostream(&buffer_) {
  setstate(std::ios::badbit);  // nothing is written until a file is open
}

bool OutputFile::CreateExclusive(const std::string& path) {
  UniqueFd fd(::open(path.c_str(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     0666));
  if (!fd) return false;
  buffer_.Attach(std::move(fd));
  clear();
  return true;
}

bool OutputFile::Close() {
  const bool ok = buffer_.Close();
  setstate(std::ios::badbit);
  return ok;
}
