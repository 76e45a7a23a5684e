#include "files/file_crc.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "base/fd_io.h"
#include "base/regular_file.h"
#include "files/crc32.h"

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;
constexpr size_t kBufferAlignment = 4096;

// a * b modulo the polynomial, both reflected like the checksum (bit 31 is x^0).
constexpr uint32_t MultiplyModP(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t bit = 1u << 31; bit != 0; bit >>= 1) {
    if (a & bit) product ^= b;
    b = (b & 1) ? (b >> 1) ^ kPolynomial : b >> 1;  // b *= x
  }
  return product;
}

// Entry k: x^(2^k) modulo the polynomial, by squaring; enough for x^(8 * 2^64).
constexpr std::array<uint32_t, 67> MakePowers() {
  std::array<uint32_t, 67> powers{};
  powers[0] = 1u << 30;  // x
  for (size_t k = 1; k < powers.size(); ++k) powers[k] = MultiplyModP(powers[k - 1], powers[k - 1]);
  return powers;
}

constexpr std::array<uint32_t, 67> kPowers = MakePowers();

// Sparse when the blocks hold less than the size: tiny files stored inline
// (no blocks, under 512 bytes) are not.
bool MayHaveHoles(const struct stat& st) {
  return st.st_blocks >= 0 &&
         static_cast<uint64_t>(st.st_blocks) < static_cast<uint64_t>(st.st_size) / 512;
}

}  // namespace

uint32_t Crc32ExtendZeros(uint32_t crc, uint64_t count) {
  // A zero byte multiplies the register by x^8, so `count` of them by
  // x^(8 * count): one factor x^(2^k) for each bit k of 8 * count.
  for (size_t k = 3; count != 0; count >>= 1, ++k)
    if (count & 1) crc = MultiplyModP(kPowers[k], crc);
  return crc;
}

// Aligned to 4 KiB: the kernel copies from the page cache's pages, and a
// destination a few bytes past a 4 KiB boundary, where malloc puts a large
// block, makes every copy stall on 4 KiB aliasing: four times the system time.
CrcReader::CrcReader()
    : buffer_(static_cast<unsigned char*>(
          ::operator new(kBufferSize, std::align_val_t{kBufferAlignment}))) {}

void CrcReader::Free::operator()(unsigned char* p) const {
  ::operator delete(p, std::align_val_t{kBufferAlignment});
}

uint32_t CrcReader::Continue(int fd, uint32_t crc, uint64_t offset, const struct stat& st) {
  const uint64_t end = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
  DropBehind behind(pageCache_, fd, offset, end);
  if (MayHaveHoles(st)) return ContinueOverHoles(fd, crc, offset, end, behind);
  Fold(fd, crc, offset, end, behind);
  return crc;
}

bool CrcReader::Fold(int fd, uint32_t& crc, uint64_t& pos, uint64_t end, DropBehind& behind) {
  while (pos < end) {
    const uint64_t limit = behind.Before(pos, end);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kBufferSize, limit - pos));
    const ssize_t n = PreadRetrying(fd, buffer_.get(), want, pos);
    if (n <= 0) return false;
    crc = Crc32Update(crc, buffer_.get(), static_cast<size_t>(n));
    pos += static_cast<uint64_t>(n);
  }
  return true;
}

uint32_t CrcReader::ContinueOverHoles(int fd, uint32_t crc, uint64_t pos, uint64_t end,
                                     DropBehind& behind) {
  while (pos < end) {
    const off_t data = lseek(fd, static_cast<off_t>(pos), SEEK_DATA);
    if (data < 0) {
      if (errno != ENXIO) break;  // no hole search here: read the rest
      // No data from `pos` on: the rest of the file is one hole.
      const off_t fileEnd = lseek(fd, 0, SEEK_END);
      if (fileEnd > 0 && static_cast<uint64_t>(fileEnd) > pos)
        crc = Crc32ExtendZeros(crc, std::min(static_cast<uint64_t>(fileEnd), end) - pos);
      return crc;
    }
    const uint64_t dataBegin = std::clamp(static_cast<uint64_t>(data), pos, end);
    crc = Crc32ExtendZeros(crc, dataBegin - pos);
    pos = dataBegin;
    if (pos == end) return crc;
    const off_t hole = lseek(fd, static_cast<off_t>(pos), SEEK_HOLE);
    uint64_t dataEnd = hole < 0 ? end : std::min(static_cast<uint64_t>(hole), end);
    // A file changing under us may report no data here after all; reading
    // on still moves forward, so the loop always ends.
    if (dataEnd <= pos) dataEnd = std::min<uint64_t>(pos + kBufferSize, end);
    if (!Fold(fd, crc, pos, dataEnd, behind)) return crc;
  }
  Fold(fd, crc, pos, end, behind);
  return crc;
}

uint32_t FileCrc32(const char* path) {
  uint32_t crc = 0xFFFFFFFFu;
  struct stat st {};
  if (auto fd = OpenRegularAt(AT_FDCWD, path, {}, &st)) crc = CrcReader().Continue(fd->Get(), crc, 0, st);
  return crc ^ 0xFFFFFFFFu;
}
