// CRC-32 (reflected, polynomial 0xEDB88320, as in gzip and PNG) without any
// processor's help: the table, byte by byte, and slicing by 16. The fast
// paths finish their tails with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Entry i: i shifted right eight times, XOR-ing the polynomial in for every 1 shifted out.
extern const std::array<uint32_t, 256> kCrc32Table;

// Folds one byte into the running checksum.
inline uint32_t Crc32FoldByte(uint32_t crc, unsigned char byte) {
  return (crc >> 8) ^ kCrc32Table[(crc ^ byte) & 0xFF];
}

// Folds `size` bytes into the running checksum by slicing by 16; the same
// result as Crc32FoldByte byte by byte. No pre- or post-inversion here.
uint32_t Crc32UpdatePortable(uint32_t crc, const unsigned char* data, size_t size);
