// CRC-32 with the ARMv8 CRC32 instructions, used by Crc32Update.
#pragma once

#include <cstddef>
#include <cstdint>

// True when the processor has the CRC32 instructions (never off 64-bit ARM).
bool Crc32ArmSupported();

// Folds `size` bytes into the running checksum, as Crc32UpdatePortable does.
// Only call when Crc32ArmSupported().
uint32_t Crc32UpdateArm(uint32_t crc, const unsigned char* data, size_t size);
