// Blowfish (ECB) and the hexadecimal form in which the settings file keeps an
// encrypted upload password.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CBlowFish {
 public:
  CBlowFish();
  ~CBlowFish();
  CBlowFish(const CBlowFish&) = delete;
  CBlowFish& operator=(const CBlowFish&) = delete;

  // Key schedule; `keyLength` must be at least 1.
  void Initialize(const unsigned char* key, int keyLength);
  // `length` rounded up to a multiple of 8.
  static unsigned long GetOutputLength(unsigned long length);
  // Encrypts `length` bytes, the last block padded with zeros; `output`
  // (which may be `input`) must hold GetOutputLength(length) bytes.
  unsigned long Encode(const unsigned char* input, unsigned char* output,
                       unsigned long length);
  // Decrypts whole blocks covering `length` bytes; both buffers must hold
  // `length` rounded up to a multiple of 8.
  void Decode(const unsigned char* input, unsigned char* output,
              unsigned long length);

  void Blowfish_encipher(uint32_t& left, uint32_t& right) const;
  void Blowfish_decipher(uint32_t& left, uint32_t& right) const;

 private:
  uint32_t F(uint32_t x) const;

  std::unique_ptr<uint32_t[]> PArray;
  std::unique_ptr<uint32_t[]> SBoxes;
};

// The plain password from its stored hexadecimal form. Upper- and lower-case
// digits are accepted; a pair without a leading hex digit leaves a zero byte
// at its place. The text ends at the first zero byte of the decryption.
std::string BlowFish_DecodeFromHexString(std::string_view hex);

// The stored form of `password`: zero-padded to a multiple of 8, encrypted
// under the password key, two upper-case hex digits per byte.
std::string BlowFish_EncodeToHexString(std::string_view password);
