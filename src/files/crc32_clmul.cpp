#include "files/crc32_clmul.h"

#include "files/crc32_portable.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace {

// x^n mod P, bit-reflected, for folding 512 bits (lanes of four) and 128 bits.
constexpr long long kFold512Lo = 0x154442bd4LL, kFold512Hi = 0x1c6e41596LL;
constexpr long long kFold128Lo = 0x1751997d0LL, kFold128Hi = 0x0ccaa009eLL;

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k,
                                                              __m128i next) {
  const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Folds the whole 16-byte blocks left into `x`. Its 128 bits then leave the
// same remainder as everything folded into them; the table finishes them.
__attribute__((target("pclmul,sse4.1"))) inline uint32_t FoldTail(__m128i x,
                                                                 const unsigned char* data,
                                                                 size_t size) {
  const __m128i k128 = _mm_set_epi64x(kFold128Hi, kFold128Lo);
  for (; size >= 16; data += 16, size -= 16) x = Fold(x, k128, Load(data));
  alignas(16) unsigned char rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
  return Crc32UpdatePortable(0, rest, sizeof rest);
}

}  // namespace

__attribute__((target("pclmul,sse4.1"))) uint32_t Crc32FoldClmul(uint32_t crc,
                                                                 const unsigned char* data,
                                                                 size_t size) {
  const __m128i k512 = _mm_set_epi64x(kFold512Hi, kFold512Lo);
  const __m128i k128 = _mm_set_epi64x(kFold128Hi, kFold128Lo);

  __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = Load(data + 16);
  __m128i x2 = Load(data + 32);
  __m128i x3 = Load(data + 48);
  data += 64;
  size -= 64;
  while (size >= 64) {
    x0 = Fold(x0, k512, Load(data));
    x1 = Fold(x1, k512, Load(data + 16));
    x2 = Fold(x2, k512, Load(data + 32));
    x3 = Fold(x3, k512, Load(data + 48));
    data += 64;
    size -= 64;
  }
  __m128i x = Fold(x0, k128, x1);
  x = Fold(x, k128, x2);
  x = Fold(x, k128, x3);
  return FoldTail(x, data, size);
}

namespace {

// x^n mod P as above, for folding 1024 bits (four registers of two lanes).
constexpr long long kFold1024Lo = 0x1e88ef372LL, kFold1024Hi = 0x14a7fe880LL;

__attribute__((target("vpclmulqdq,avx2"))) inline __m256i Fold256(__m256i x, __m256i k,
                                                                   __m256i next) {
  const __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
  const __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
  return _mm256_xor_si256(_mm256_xor_si256(lo, hi), next);
}

__attribute__((target("vpclmulqdq,avx2"))) inline __m256i Load256(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

}  // namespace

__attribute__((target("vpclmulqdq,avx2,pclmul,sse4.1"))) uint32_t Crc32FoldVclmul(
    uint32_t crc, const unsigned char* data, size_t size) {
  const __m256i k1024 = _mm256_set_epi64x(kFold1024Hi, kFold1024Lo, kFold1024Hi, kFold1024Lo);
  __m256i x[4];
  for (int i = 0; i < 4; ++i) x[i] = Load256(data + 32 * i);
  x[0] = _mm256_xor_si256(x[0], _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(crc))));
  data += 128;
  size -= 128;
  while (size >= 128) {
    for (int i = 0; i < 4; ++i) x[i] = Fold256(x[i], k1024, Load256(data + 32 * i));
    data += 128;
    size -= 128;
  }
  // The eight lanes, in the order of the data, into one.
  const __m128i k128 = _mm_set_epi64x(kFold128Hi, kFold128Lo);
  __m128i lane = _mm256_castsi256_si128(x[0]);
  for (int i = 0; i < 4; ++i) {
    if (i > 0) lane = Fold(lane, k128, _mm256_castsi256_si128(x[i]));
    lane = Fold(lane, k128, _mm256_extracti128_si256(x[i], 1));
  }
  return FoldTail(lane, data, size);
}

#else

uint32_t Crc32FoldClmul(uint32_t crc, const unsigned char* data, size_t size) {
  return Crc32UpdatePortable(crc, data, size);
}

uint32_t Crc32FoldVclmul(uint32_t crc, const unsigned char* data, size_t size) {
  return Crc32UpdatePortable(crc, data, size);
}

#endif
