// The stream the scan file is written through. It is written under a
// temporary name beside its final one, created exclusively (mode 0600,
// never through a link), and takes its final name only once everything was
// written and flushed to disk, so a failed run never replaces a good scan.
#pragma once

#include <sys/types.h>

#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique_fd.h"

// True for a name OutputFile::Create gives the temporary file of a file
// named `finalName`: "." + finalName + "." and eight hexadecimal digits.
bool IsTemporaryNameFor(std::string_view name, std::string_view finalName);

class FdOutputBuffer : public std::streambuf {
 public:
  FdOutputBuffer();
  ~FdOutputBuffer() override;

  void Attach(UniqueFd fd);
  bool IsOpen() const { return fd_.Valid(); }
  int fd() const { return fd_.Get(); }
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

class OutputFile : public std::ostream {
 public:
  OutputFile();
  // A file not committed is removed.
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary file for `finalPath` in its directory. False with
  // errno when that fails; every write is then lost.
  bool Create(const std::string& finalPath);
  bool IsOpen() const { return buffer_.IsOpen(); }

  // Where the next byte goes, everything before it written out; nothing
  // when that failed.
  std::optional<off_t> Mark();
  // Drops everything written after `mark`.
  bool RewindTo(off_t mark);

  // errno of the first write (or flush to disk) that failed; 0 while none has.
  int error() const { return buffer_.error(); }
  // Flushes the file to disk and gives it its final name, replacing what
  // was there. False with errno when any write failed (error() tells it)
  // or the rename fails; the temporary file is then removed and the final
  // name left as it was.
  bool Commit();
  // Removes the temporary file.
  void Discard();

  const std::string& temporaryPath() const { return temporary_; }

 private:
  FdOutputBuffer buffer_;
  std::string final_;
  std::string temporary_;
};
