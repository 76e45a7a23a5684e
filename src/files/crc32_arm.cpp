#include "files/crc32_arm.h"

#include "files/crc32_portable.h"

#if defined(__aarch64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__

#include <arm_acle.h>
#include <asm/hwcap.h>
#include <sys/auxv.h>

#include <cstring>

// Optional in ARMv8.0, so asked of the kernel rather than assumed.
bool Crc32ArmSupported() { return (getauxval(AT_HWCAP) & HWCAP_CRC32) != 0; }

// The instructions take the same reflected polynomial and, like the
// portable path, neither invert before nor after.
__attribute__((target("+crc"))) uint32_t Crc32UpdateArm(uint32_t crc, const unsigned char* data,
                                                        size_t size) {
  while (size > 0 && reinterpret_cast<uintptr_t>(data) % 8 != 0) {
    crc = __crc32b(crc, *data++);
    --size;
  }
  for (; size >= 8; data += 8, size -= 8) {
    uint64_t word;
    std::memcpy(&word, data, 8);
    crc = __crc32d(crc, word);
  }
  while (size-- > 0) crc = __crc32b(crc, *data++);
  return crc;
}

#else

bool Crc32ArmSupported() { return false; }

uint32_t Crc32UpdateArm(uint32_t crc, const unsigned char* data, size_t size) {
  return Crc32UpdatePortable(crc, data, size);
}

#endif
