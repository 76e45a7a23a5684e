#include "files/file_crc.h"

#include <fcntl.h>

#include "files/crc32.h"
#include "files/regular_file.h"

CrcReader::CrcReader() : buffer_(new unsigned char[kBufferSize]) {}

uint32_t CrcReader::Continue(int fd, uint32_t crc) {
  for (;;) {
    const long n = ReadRetrying(fd, buffer_.get(), kBufferSize);
    if (n <= 0) return crc;
    crc = Crc32Update(crc, buffer_.get(), static_cast<size_t>(n));
  }
}

int FileCrc32Streams(const char* path, unsigned int& crc) {
  crc = 0xFFFFFFFFu;
  UniqueFd fd = OpenRegularAt(AT_FDCWD, path);
  if (fd) crc = CrcReader().Continue(fd.Get(), crc);
  crc ^= 0xFFFFFFFFu;
  return 0;
}
