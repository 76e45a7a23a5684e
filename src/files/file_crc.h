// CRC-32 of a whole file's contents. The holes of a sparse file are not
// read: their zero bytes are folded in arithmetically, with the same result.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "files/page_cache.h"

// The raw (not inverted) checksum `crc` continued over `count` zero bytes,
// in at most 64 steps however large `count` is.
uint32_t Crc32ExtendZeros(uint32_t crc, uint64_t count);

// The checksum of the file at `path`: 0 when it cannot be opened, is empty or
// is not a regular file.
uint32_t FileCrc32(const char* path);

// A fixed read buffer, so memory does not depend on file size; the scan
// keeps one for the whole walk. Each read costs a few microseconds besides
// its copy, so fewer, larger reads are cheaper up to 512 KiB, which still
// stays within a core's second-level cache between the kernel's copy and
// the checksum; at 2 MiB it no longer does and the checksum slows down.
class CrcReader {
 public:
  static constexpr size_t kBufferSize = 512 * 1024;

  CrcReader();
  // Continues the raw checksum `crc` of the first `offset` bytes of `fd`
  // over the rest, up to `st.st_size` (the size the caller saw, so a file
  // that grows meanwhile still ends), its end, or the first read error.
  // When `st` shows fewer blocks than the size needs, holes are skipped.
  // The pages the reads bring into the page cache are dropped behind them.
  uint32_t Continue(int fd, uint32_t crc, uint64_t offset, const struct stat& st);

 private:
  // Folds the bytes [pos, end) into `crc`; false when the file ended first
  // or a read failed. `pos` is where it stopped.
  bool Fold(int fd, uint32_t& crc, uint64_t& pos, uint64_t end, DropBehind& behind);
  uint32_t ContinueOverHoles(int fd, uint32_t crc, uint64_t pos, uint64_t end,
                             DropBehind& behind);

  struct Free {
    void operator()(unsigned char* p) const;
  };
  std::unique_ptr<unsigned char[], Free> buffer_;
  PageCache pageCache_;
};
