#include "files/file_crc.h"

#include <fcntl.h>

#include "base/regular_file.h"
#include "files/crc32.h"

CrcReader::CrcReader() : buffer_(new unsigned char[kBufferSize]) {}

uint32_t CrcReader::Continue(int fd, uint32_t crc) {
  for (;;) {
    const long n = ReadRetrying(fd, buffer_.get(), kBufferSize);
    if (n <= 0) return crc;
    crc = Crc32Update(crc, buffer_.get(), static_cast<size_t>(n));
  }
}

uint32_t FileCrc32(const char* path) {
  uint32_t crc = 0xFFFFFFFFu;
  UniqueFd fd = OpenRegularAt(AT_FDCWD, path);
  if (fd) crc = CrcReader().Continue(fd.Get(), crc);
  return crc ^ 0xFFFFFFFFu;
}
