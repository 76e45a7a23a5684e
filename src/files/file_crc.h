// CRC-32 of a whole file's contents.
#pragma once

#include <cstdint>
#include <memory>

// The checksum of the file at `path`: 0 when it cannot be opened, is empty or
// is not a regular file.
uint32_t FileCrc32(const char* path);

// A fixed read buffer, so memory does not depend on file size; the scan
// keeps one for the whole walk.
class CrcReader {
 public:
  static constexpr unsigned long kBufferSize = 256 * 1024;

  CrcReader();
  // Continues the raw (not inverted) checksum `crc` with the rest of `fd`,
  // up to its end or the first read error.
  uint32_t Continue(int fd, uint32_t crc);

 private:
  std::unique_ptr<unsigned char[]> buffer_;
};
