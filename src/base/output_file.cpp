#include "base/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <streambuf>
#include <vector>

#include "base/fd_io.h"
#include "base/unique_fd.h"

class FdOutputBuffer : public std::streambuf {
 public:
  FdOutputBuffer();
  ~FdOutputBuffer() override;

  void Attach(UniqueFd fd);
  bool IsOpen() const { return fd_.Valid(); }
  int Get() const { return fd_.Get(); }
  // errno of the first write that failed; 0 while none has.
  int error() const { return error_; }
  // Writes out what is buffered; false when any write since Attach failed.
  bool Drain();
  // Drops everything written from `offset` on.
  bool TruncateTo(off_t offset);
  // Counts a failure of the file's own (a flush to disk) as a write error.
  void Fail(int error) {
    if (error_ == 0) error_ = error;
  }
  // Flushes and closes; false when any write since Attach failed.
  bool Close();

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;
  int sync() override;

 private:
  bool WriteAll(const char* data, size_t size);

  UniqueFd fd_;
  std::vector<char> buffer_;
  int error_ = 0;
};

namespace {

constexpr size_t kBufferSize = 64 * 1024;

// ".<name>.XXXXXX" beside `finalPath`: hidden, so that nothing collecting
// scan files takes it for one.
std::string TemporaryNameFor(const std::string& finalPath, uint32_t random) {
  const size_t slash = finalPath.rfind('/');
  const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%08x", random);
  return finalPath.substr(0, nameAt) + "." + finalPath.substr(nameAt) + suffix;
}

// Flushes the directory holding `path`, so that a rename in it lasts.
void SyncDirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) ::fsync(fd.Get());
}

}  // namespace

bool IsTemporaryNameFor(std::string_view name, std::string_view finalName) {
  constexpr size_t kDigits = 8;
  if (name.size() != finalName.size() + 2 + kDigits || !name.starts_with('.')) return false;
  if (name.substr(1, finalName.size()) != finalName || name[1 + finalName.size()] != '.') return false;
  for (const char c : name.substr(name.size() - kDigits))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

FdOutputBuffer::FdOutputBuffer() : buffer_(kBufferSize) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FdOutputBuffer::~FdOutputBuffer() { Close(); }

void FdOutputBuffer::Attach(UniqueFd fd) {
  Close();
  fd_ = std::move(fd);
  error_ = 0;
}

bool FdOutputBuffer::Close() {
  if (!fd_) return false;
  bool ok = Drain();
  if (!fd_.Reset() && error_ == 0) error_ = errno;
  return ok && error_ == 0;
}

bool FdOutputBuffer::WriteAll(const char* data, size_t size) {
  if (!fd_ || error_ != 0) return false;
  if (!::WriteAll(fd_.Get(), data, size)) error_ = errno != 0 ? errno : EIO;
  return error_ == 0;
}

bool FdOutputBuffer::Drain() {
  const bool ok = WriteAll(pbase(), static_cast<size_t>(pptr() - pbase()));
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return ok;
}

bool FdOutputBuffer::TruncateTo(off_t offset) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());  // unwritten bytes go too
  return fd_ && ::ftruncate(fd_.Get(), offset) == 0 && ::lseek(fd_.Get(), offset, SEEK_SET) == offset;
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

OutputFile::OutputFile() : std::ostream(nullptr), buffer_(std::make_unique<FdOutputBuffer>()) {
  rdbuf(buffer_.get());
  setstate(std::ios::badbit);  // nothing is written until a file is open
}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::IsOpen() const { return buffer_->IsOpen(); }

Status OutputFile::Create(const std::string& finalPath) {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string temporary = TemporaryNameFor(finalPath, random());
    UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
      if (errno == EEXIST) continue;
      return ErrnoFailure(finalPath);
    }
    buffer_->Attach(std::move(fd));
    final_ = finalPath;
    temporary_ = temporary;
    clear();
    return {};
  }
  return ErrnoFailure(finalPath, EEXIST);
}

std::optional<off_t> OutputFile::Mark() {
  if (!buffer_->Drain()) return std::nullopt;
  const off_t at = ::lseek(buffer_->Get(), 0, SEEK_CUR);
  if (at < 0) return std::nullopt;
  return at;
}

bool OutputFile::RewindTo(off_t mark) {
  clear(rdstate() & ~(std::ios::failbit | std::ios::badbit));
  return buffer_->TruncateTo(mark);
}

Status OutputFile::Commit() {
  if (temporary_.empty()) return ErrnoFailure("Error writing tmp file", EBADF);
  if (buffer_->Drain() && ::fsync(buffer_->Get()) != 0) buffer_->Fail(errno);
  Status status;
  if (!buffer_->Close()) {
    status = ErrnoFailure("Error writing tmp file", buffer_->error() != 0 ? buffer_->error() : errno);
  } else if (::rename(temporary_.c_str(), final_.c_str()) != 0) {
    status = ErrnoFailure("Error rename tmp file to scn file");
  }
  setstate(std::ios::badbit);
  if (!status) ::unlink(temporary_.c_str());
  temporary_.clear();
  if (status) SyncDirectoryOf(final_);
  return status;
}

void OutputFile::Discard() {
  buffer_->Close();
  setstate(std::ios::badbit);
  if (temporary_.empty()) return;
  ::unlink(temporary_.c_str());
  temporary_.clear();
}
