// CRC-32 by carry-less multiplication folding (x86 PCLMULQDQ, and its
// 256-bit form VPCLMULQDQ), used by Crc32Update.
#pragma once

#include <cstddef>
#include <cstdint>

// Shortest input the folding path takes: four 16-byte lanes.
inline constexpr size_t kClmulMinSize = 64;

// Folds `size` bytes (a multiple of 16, at least kClmulMinSize) into the
// running checksum. Only call when the processor has PCLMULQDQ and SSE4.1.
uint32_t Crc32FoldClmul(uint32_t crc, const unsigned char* data, size_t size);

// Shortest input the 256-bit path takes: four registers of two 16-byte lanes.
inline constexpr size_t kVclmulMinSize = 128;

// The same with 256-bit registers, twice as fast where the processor has
// VPCLMULQDQ and AVX2 (and only call it there): `size` a multiple of 16, at
// least kVclmulMinSize.
uint32_t Crc32FoldVclmul(uint32_t crc, const unsigned char* data, size_t size);
