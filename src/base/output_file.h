// The stream the scan file is written through: a buffered std::ostream over
// a descriptor that the run creates itself, so that it can refuse to follow
// or write through anything planted at the path beforehand.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "base/unique_fd.h"

class FdOutputBuffer : public std::streambuf {
 public:
  FdOutputBuffer();
  ~FdOutputBuffer() override;

  void Attach(UniqueFd fd);
  bool IsOpen() const { return fd_.Valid(); }
  // Flushes and closes; false when any write since Attach failed.
  bool Close();

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;
  int sync() override;

 private:
  bool Drain();
  bool WriteAll(const char* data, size_t size);

  UniqueFd fd_;
  std::vector<char> buffer_;
  bool failed_ = false;
};

class OutputFile : public std::ostream {
 public:
  OutputFile();

  // Creates `path` as a new file (O_CREAT|O_EXCL|O_NOFOLLOW; the umask sets the mode) and
  // writes to it. On failure the stream stays closed and every write is lost.
  bool CreateExclusive(const std::string& path);
  bool IsOpen() const { return buffer_.IsOpen(); }
  // Flushes and closes; false when anything written was lost.
  bool Close();

 private:
  FdOutputBuffer buffer_;
};
