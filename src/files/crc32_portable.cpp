#include "files/crc32_portable.h"

#include <bit>
#include <cstring>

namespace {

using Tables = std::array<std::array<uint32_t, 256>, 16>;

constexpr Tables MakeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[0][i] = c;
  }
  // t[k][i]: the byte i followed by k zero bytes, for slicing by 16.
  for (size_t k = 1; k < 16; ++k)
    for (size_t i = 0; i < 256; ++i)
      t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}

constexpr Tables kTables = MakeTables();

inline uint32_t LoadLittle32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

}  // namespace

constinit const std::array<uint32_t, 256> kCrc32Table = kTables[0];

uint32_t Crc32UpdatePortable(uint32_t crc, const unsigned char* data, size_t size) {
  const auto& t = kTables;
  while (size >= 16) {
    const uint32_t a = LoadLittle32(data) ^ crc;
    const uint32_t b = LoadLittle32(data + 4);
    const uint32_t c = LoadLittle32(data + 8);
    const uint32_t d = LoadLittle32(data + 12);
    crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
          t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
          t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
          t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    data += 16;
    size -= 16;
  }
  while (size-- > 0) crc = (crc >> 8) ^ t[0][(crc ^ *data++) & 0xFF];
  return crc;
}
