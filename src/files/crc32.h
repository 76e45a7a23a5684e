// CRC-32 (reflected, polynomial 0xEDB88320, as in gzip and PNG).
#pragma once

#include <cstddef>
#include <cstdint>

// Folds `size` bytes into the running checksum; the same result as
// Crc32FoldByte byte by byte, only faster. No pre- or post-inversion here.
uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t size);

// True when this processor has carry-less multiplication (PCLMULQDQ), and
// its 256-bit form (VPCLMULQDQ), which Crc32Update then takes.
bool Crc32HasClmul();
bool Crc32HasVclmul();
