#include "files/crc32.h"

#include "files/crc32_arm.h"
#include "files/crc32_clmul.h"
#include "files/crc32_portable.h"

namespace {

bool DetectClmul() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
#else
  return false;
#endif
}

bool DetectVclmul() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  return DetectClmul() && __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

const bool kHasClmul = DetectClmul();
const bool kHasVclmul = DetectVclmul();
const bool kHasArmCrc = Crc32ArmSupported();

}  // namespace

uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t size) {
  if (kHasArmCrc) return Crc32UpdateArm(crc, data, size);
  const size_t folded = size & ~size_t{15};
  if (kHasVclmul && size >= kVclmulMinSize) crc = Crc32FoldVclmul(crc, data, folded);
  else if (kHasClmul && size >= kClmulMinSize) crc = Crc32FoldClmul(crc, data, folded);
  else return Crc32UpdatePortable(crc, data, size);
  return Crc32UpdatePortable(crc, data + folded, size - folded);
}

bool Crc32HasClmul() { return kHasClmul; }
bool Crc32HasVclmul() { return kHasVclmul; }
