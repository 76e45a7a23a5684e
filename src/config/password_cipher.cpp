#include "config/password_cipher.h"

#include <algorithm>
#include <array>
#include <vector>

#include "base/hex.h"
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

}  // namespace

Blowfish::Blowfish(const unsigned char* key, size_t keyLength)
    : p_(kBlowfishP), s_(kBlowfishS) {
  if (keyLength == 0) return;
  size_t j = 0;
  for (uint32_t& p : p_) {
    uint32_t word = 0;
    for (size_t k = 0; k < 4; ++k) word = (word << 8) | key[(j + k) % keyLength];
    p ^= word;
    j = (j + 4) % keyLength;
  }
  uint32_t l = 0, r = 0;
  for (size_t i = 0; i < p_.size(); i += 2) {
    EncipherBlock(l, r);
    p_[i] = l;
    p_[i + 1] = r;
  }
  for (size_t i = 0; i < s_.size(); i += 2) {
    EncipherBlock(l, r);
    s_[i] = l;
    s_[i + 1] = r;
  }
}

uint32_t Blowfish::F(uint32_t x) const {
  return ((s_[x >> 24] + s_[256 + ((x >> 16) & 0xFF)]) ^ s_[512 + ((x >> 8) & 0xFF)]) +
         s_[768 + (x & 0xFF)];
}

void Blowfish::EncipherBlock(uint32_t& left, uint32_t& right) const {
  uint32_t l = left ^ p_[0];
  uint32_t r = right;
  for (int i = 1; i <= 15; i += 2) {
    r ^= F(l) ^ p_[i];
    l ^= F(r) ^ p_[i + 1];
  }
  r ^= p_[17];
  left = r;
  right = l;
}

void Blowfish::DecipherBlock(uint32_t& left, uint32_t& right) const {
  uint32_t l = left ^ p_[17];
  uint32_t r = right;
  for (int i = 16; i >= 2; i -= 2) {
    r ^= F(l) ^ p_[i];
    l ^= F(r) ^ p_[i - 1];
  }
  r ^= p_[0];
  left = r;
  right = l;
}

size_t Blowfish::PaddedLength(size_t length) { return (length + 7) / 8 * 8; }

size_t Blowfish::Encrypt(const unsigned char* input, unsigned char* output, size_t length) const {
  const size_t total = PaddedLength(length);
  for (size_t o = 0; o < total; o += 8) {
    unsigned char block[8] = {};
    std::copy_n(input + o, std::min<size_t>(8, length - o), block);
    uint32_t l = LoadHalf(block), r = LoadHalf(block + 4);
    EncipherBlock(l, r);
    StoreHalf(l, output + o);
    StoreHalf(r, output + o + 4);
  }
  return total;
}

void Blowfish::Decrypt(const unsigned char* input, unsigned char* output, size_t length) const {
  for (size_t o = 0; o < length; o += 8) {
    uint32_t l = LoadHalf(input + o), r = LoadHalf(input + o + 4);
    DecipherBlock(l, r);
    StoreHalf(l, output + o);
    StoreHalf(r, output + o + 4);
  }
}

std::string DecryptPassword(std::string_view hex) {
  const size_t positions = (hex.size() + 1) / 2;
  // Zeroed and padded to whole blocks, so odd or broken text never reaches
  // undefined bytes.
  std::vector<unsigned char> work(Blowfish::PaddedLength(positions), 0);
  for (size_t p = 0; p < hex.size(); p += 2) {
    const int high = HexDigitValue(hex[p]);
    if (high < 0) continue;
    const int low = p + 1 < hex.size() ? HexDigitValue(hex[p + 1]) : -1;
    work[p / 2] = static_cast<unsigned char>(low < 0 ? high : high * 16 + low);
  }
  const auto key = PasswordKey();
  Blowfish(key.data(), key.size()).Decrypt(work.data(), work.data(), work.size());
  const auto end = std::find(work.begin(), work.begin() + positions, 0);
  return std::string(work.begin(), end);
}

std::string EncryptPassword(std::string_view password) {
  std::vector<unsigned char> buffer(Blowfish::PaddedLength(password.size()), 0);
  std::copy(password.begin(), password.end(), buffer.begin());
  const auto key = PasswordKey();
  Blowfish(key.data(), key.size()).Encrypt(buffer.data(), buffer.data(), password.size());
  return HexText(buffer.data(), buffer.size());
}
