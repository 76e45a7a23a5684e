// CRC-32 (reflected, polynomial 0xEDB88320, as in gzip and PNG).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Entry i: i shifted right eight times, XOR-ing the polynomial in for every 1 shifted out.
extern const std::array<uint32_t, 256> s_arrdwCrc32Table;

// Folds one byte into the running checksum.
void CalcCrc32(unsigned char byte, unsigned int& crc);

// Folds `size` bytes into the running checksum; the same result as
// CalcCrc32 byte by byte, only faster. No pre- or post-inversion here.
uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t size);

// The portable path of Crc32Update (slicing by 16), exposed for tests and benchmarks.
uint32_t Crc32UpdatePortable(uint32_t crc, const unsigned char* data, size_t size);

// True when Crc32Update uses carry-less multiplication on this processor.
bool Crc32HasClmul();
