// Blowfish (ECB) and the hexadecimal form in which the settings file keeps an
// encrypted upload password.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class Blowfish {
 public:
  // The key schedule for `key`; `keyLength` must be at least 1.
  Blowfish(const unsigned char* key, size_t keyLength);

  // `length` rounded up to whole 8-byte blocks.
  static size_t PaddedLength(size_t length);
  // Encrypts `length` bytes, the last block padded with zeros; `output`
  // (which may be `input`) must hold PaddedLength(length) bytes. Returns that.
  size_t Encrypt(const unsigned char* input, unsigned char* output, size_t length) const;
  // Decrypts the whole blocks covering `length` bytes; both buffers must hold
  // PaddedLength(length) bytes.
  void Decrypt(const unsigned char* input, unsigned char* output, size_t length) const;

 private:
  uint32_t F(uint32_t x) const;
  void EncipherBlock(uint32_t& left, uint32_t& right) const;
  void DecipherBlock(uint32_t& left, uint32_t& right) const;

  std::array<uint32_t, 18> p_;
  std::array<uint32_t, 1024> s_;  // the four boxes one after the other
};

// The plain password from its stored hexadecimal form. Upper- and lower-case
// digits are accepted; a pair without a leading hex digit leaves a zero byte
// at its place. The text ends at the first zero byte of the decryption.
std::string DecryptPassword(std::string_view hex);

// The stored form of `password`: zero-padded to a multiple of 8, encrypted
// under the password key, two upper-case hex digits per byte.
std::string EncryptPassword(std::string_view password);
