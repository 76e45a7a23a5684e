#include "config/password_cipher.h"

#include <algorithm>
#include <array>
#include <vector>

#include "config/blowfish_tables.h"

namespace {

constexpr int kKeyLength = 22;

// The password key is put together here rather than kept whole in the binary.
std::array<unsigned char, kKeyLength> PasswordKey() {
  constexpr std::string_view kPieces[] = {"SCAN", "UNIX", "INVENT", "ORYKEYS"};
  std::array<unsigned char, kKeyLength> key{};
  size_t at = 0;
  for (std::string_view piece : kPieces) {
    for (char c : piece) key[at++] = static_cast<unsigned char>(c);
  }
  key[at] = 0;  // the 22nd byte is a zero and takes part in the schedule
  return key;
}

// Block halves are stored least significant byte first.
uint32_t LoadHalf(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
         uint32_t(p[3]) << 24;
}

void StoreHalf(uint32_t v, unsigned char* p) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

CBlowFish::CBlowFish()
    : PArray(new uint32_t[18]()), SBoxes(new uint32_t[1024]()) {}

CBlowFish::~CBlowFish() = default;

uint32_t CBlowFish::F(uint32_t x) const {
  const uint32_t* s = SBoxes.get();
  return ((s[x >> 24] + s[256 + ((x >> 16) & 0xFF)]) ^ s[512 + ((x >> 8) & 0xFF)]) +
         s[768 + (x & 0xFF)];
}

void CBlowFish::Blowfish_encipher(uint32_t& left, uint32_t& right) const {
  const uint32_t* p = PArray.get();
  uint32_t l = left ^ p[0];
  uint32_t r = right;
  for (int i = 1; i <= 15; i += 2) {
    r ^= F(l) ^ p[i];
    l ^= F(r) ^ p[i + 1];
  }
  r ^= p[17];
  left = r;
  right = l;
}

void CBlowFish::Blowfish_decipher(uint32_t& left, uint32_t& right) const {
  const uint32_t* p = PArray.get();
  uint32_t l = left ^ p[17];
  uint32_t r = right;
  for (int i = 16; i >= 2; i -= 2) {
    r ^= F(l) ^ p[i];
    l ^= F(r) ^ p[i - 1];
  }
  r ^= p[0];
  left = r;
  right = l;
}

void CBlowFish::Initialize(const unsigned char* key, int keyLength) {
  std::copy(bf_P.begin(), bf_P.end(), PArray.get());
  std::copy(bf_S.begin(), bf_S.end(), SBoxes.get());
  if (keyLength < 1) return;
  int j = 0;
  for (int i = 0; i < 18; ++i) {
    uint32_t word = 0;
    for (int k = 0; k < 4; ++k) word = (word << 8) | key[(j + k) % keyLength];
    PArray[i] ^= word;
    j = (j + 4) % keyLength;
  }
  uint32_t l = 0, r = 0;
  for (int i = 0; i < 18; i += 2) {
    Blowfish_encipher(l, r);
    PArray[i] = l;
    PArray[i + 1] = r;
  }
  for (int i = 0; i < 1024; i += 2) {
    Blowfish_encipher(l, r);
    SBoxes[i] = l;
    SBoxes[i + 1] = r;
  }
}

unsigned long CBlowFish::GetOutputLength(unsigned long length) {
  return length % 8 == 0 ? length : length - length % 8 + 8;
}

unsigned long CBlowFish::Encode(const unsigned char* input, unsigned char* output,
                                unsigned long length) {
  const unsigned long total = GetOutputLength(length);
  for (unsigned long o = 0; o < total; o += 8) {
    unsigned char block[8] = {};
    std::copy_n(input + o, std::min<unsigned long>(8, length - o), block);
    uint32_t l = LoadHalf(block), r = LoadHalf(block + 4);
    Blowfish_encipher(l, r);
    StoreHalf(l, output + o);
    StoreHalf(r, output + o + 4);
  }
  return total;
}

void CBlowFish::Decode(const unsigned char* input, unsigned char* output,
                       unsigned long length) {
  for (unsigned long o = 0; o < length; o += 8) {
    uint32_t l = LoadHalf(input + o), r = LoadHalf(input + o + 4);
    Blowfish_decipher(l, r);
    StoreHalf(l, output + o);
    StoreHalf(r, output + o + 4);
  }
}

std::string BlowFish_DecodeFromHexString(std::string_view hex) {
  const size_t positions = (hex.size() + 1) / 2;
  // Zeroed and padded to whole blocks, so odd or broken text never reaches
  // undefined bytes.
  std::vector<unsigned char> work(CBlowFish::GetOutputLength(positions), 0);
  for (size_t p = 0; p < hex.size(); p += 2) {
    const int high = HexValue(hex[p]);
    if (high < 0) continue;
    const int low = p + 1 < hex.size() ? HexValue(hex[p + 1]) : -1;
    work[p / 2] = static_cast<unsigned char>(low < 0 ? high : high * 16 + low);
  }
  CBlowFish cipher;
  const auto key = PasswordKey();
  cipher.Initialize(key.data(), kKeyLength);
  cipher.Decode(work.data(), work.data(), work.size());
  const auto end = std::find(work.begin(), work.begin() + positions, 0);
  return std::string(work.begin(), end);
}

std::string BlowFish_EncodeToHexString(std::string_view password) {
  std::vector<unsigned char> buffer(CBlowFish::GetOutputLength(password.size()), 0);
  std::copy(password.begin(), password.end(), buffer.begin());
  CBlowFish cipher;
  const auto key = PasswordKey();
  cipher.Initialize(key.data(), kKeyLength);
  cipher.Encode(buffer.data(), buffer.data(), password.size());
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(buffer.size() * 2);
  for (unsigned char b : buffer) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 15]);
  }
  return hex;
}
