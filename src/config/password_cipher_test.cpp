#include "config/password_cipher.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "config/ini_file.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes EncryptBlock(const Bytes& key, Bytes block) {
  CBlowFish bf;
  bf.Initialize(key.data(), static_cast<int>(key.size()));
  bf.Encode(block.data(), block.data(), block.size());
  return block;
}

TEST(BlowFish, PublishedVectorsWithLittleEndianHalves) {
  const Bytes zeros(8, 0);
  const Bytes expected = {0x45, 0x97, 0xF9, 0x4E, 0x78, 0xDD, 0x98, 0x61};
  EXPECT_EQ(EncryptBlock(zeros, zeros), expected);

  CBlowFish bf;
  bf.Initialize(zeros.data(), 8);
  Bytes back(8);
  bf.Decode(expected.data(), back.data(), 8);
  EXPECT_EQ(back, zeros);

  // Checks the byte order of the halves and of the key words together.
  const Bytes key = {0x30, 0, 0, 0, 0, 0, 0, 0};
  const Bytes plain = {0x10, 0, 0, 0, 0, 0, 0, 0x01};
  EXPECT_EQ(EncryptBlock(key, plain),
            (Bytes{0x65, 0xC8, 0xA4, 0xE2, 0x5B, 0xF2, 0x2F, 0xCF}));
}

TEST(BlowFish, BlockFunctionsMatchTheBigEndianVector) {
  CBlowFish bf;
  const Bytes key = {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
  bf.Initialize(key.data(), 8);
  uint32_t l = 0x01234567, r = 0x89ABCDEF;
  bf.Blowfish_encipher(l, r);
  EXPECT_EQ(l, 0x0ACEAB0Fu);
  EXPECT_EQ(r, 0xC6A0A28Du);
  bf.Blowfish_decipher(l, r);
  EXPECT_EQ(l, 0x01234567u);
  EXPECT_EQ(r, 0x89ABCDEFu);
}

TEST(BlowFish, OutputLength) {
  EXPECT_EQ(CBlowFish::GetOutputLength(0), 0u);
  for (unsigned long n = 1; n <= 8; ++n) EXPECT_EQ(CBlowFish::GetOutputLength(n), 8u);
  for (unsigned long n = 9; n <= 16; ++n) EXPECT_EQ(CBlowFish::GetOutputLength(n), 16u);
}

TEST(BlowFish, EncodePadsWithZerosInPlaceOrNot) {
  CBlowFish bf;
  const Bytes key = {'k', 'e', 'y'};
  bf.Initialize(key.data(), 3);
  Bytes in = {'a', 'b', 'c', 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};  // bytes past 3 must not count
  Bytes out(8);
  EXPECT_EQ(bf.Encode(in.data(), out.data(), 3), 8u);
  Bytes inPlace = {'a', 'b', 'c', 0, 0, 0, 0, 0};
  bf.Encode(inPlace.data(), inPlace.data(), 3);
  EXPECT_EQ(out, inPlace);
  bf.Decode(out.data(), out.data(), 8);
  EXPECT_EQ(out, (Bytes{'a', 'b', 'c', 0, 0, 0, 0, 0}));
}

TEST(BlowFish, DecodeInPlaceEqualsDecodeIntoOtherBuffer) {
  CBlowFish bf;
  const Bytes key = {1, 2, 3, 4, 5};
  bf.Initialize(key.data(), 5);
  Bytes data(40);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7);
  Bytes other(40);
  bf.Decode(data.data(), other.data(), 40);
  bf.Decode(data.data(), data.data(), 40);
  EXPECT_EQ(data, other);
}

TEST(PasswordHex, RoundTripsEveryLengthFrom1To255) {
  std::string password;
  for (int n = 1; n <= 255; ++n) {
    password.push_back(static_cast<char>(' ' + (n * 37) % 95));
    const std::string hex = BlowFish_EncodeToHexString(password);
    ASSERT_EQ(hex.size(), CBlowFish::GetOutputLength(n) * 2);
    ASSERT_EQ(BlowFish_DecodeFromHexString(hex), password) << n;
  }
}

TEST(PasswordHex, FiveCharactersTakeSixteenUpperCaseDigits) {
  const std::string hex = BlowFish_EncodeToHexString("s3cr!");
  EXPECT_EQ(hex.size(), 16u);
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(BlowFish_DecodeFromHexString(hex), "s3cr!");
  std::string lower = hex;
  for (char& c : lower) c = static_cast<char>(std::tolower(c));
  EXPECT_EQ(BlowFish_DecodeFromHexString(lower), "s3cr!");
}

TEST(PasswordHex, BrokenTextDecodesWithoutReadingUndefinedBytes) {
  EXPECT_EQ(BlowFish_DecodeFromHexString(""), "");
  // Odd counts, short counts and non-hex pairs all decode deterministically:
  // the same text always gives the same result.
  for (std::string text : {"A", "ABC", "0123456789", "ZZ12ZZ34ZZ56ZZ78", "G1H2I3J4K5L6M7N8O9"}) {
    const std::string first = BlowFish_DecodeFromHexString(text);
    EXPECT_EQ(BlowFish_DecodeFromHexString(text), first) << text;
    EXPECT_LE(first.size(), (text.size() + 1) / 2) << text;
  }
  // A pair that does not start with a digit stands for a zero byte.
  const std::string hex = BlowFish_EncodeToHexString("abcdefgh");
  std::string spoiled = hex;
  spoiled[4] = 'x';
  spoiled[5] = 'y';
  std::string zeroed = hex;
  zeroed[4] = '0';
  zeroed[5] = '0';
  EXPECT_EQ(BlowFish_DecodeFromHexString(spoiled), BlowFish_DecodeFromHexString(zeroed));
}

CIniFile LoadText(const std::string& text) {
  CIniFile ini;
  std::istringstream in(text);
  ini.LoadFromStream(in);
  return ini;
}

TEST(PasswordStep, EncryptedPasswordIsPlainAfterLoading) {
  const std::string hex = BlowFish_EncodeToHexString("Secret=1 ;#");
  auto ini = LoadText("[HTTP]\nPassword=" + hex + "\r\nPasswordIsEncrypted=1\r\n");
  EXPECT_EQ(ini.m_szHttpPassword, "Secret=1 ;#");
  EXPECT_TRUE(ini.m_bPasswordIsEncrypted);
}

TEST(PasswordStep, PlainPasswordAndEmptyPasswordStayAsWritten) {
  EXPECT_EQ(LoadText("[HTTP]\nPassword=ABCDEF\n").m_szHttpPassword, "ABCDEF");
  EXPECT_EQ(LoadText("[HTTP]\nPassword=\nPasswordIsEncrypted=1\n").m_szHttpPassword, "");
  EXPECT_EQ(LoadText("[HTTP]\nPasswordIsEncrypted=1\n").m_szHttpPassword, "");
}

TEST(HttpSettings, TimeoutAndCAFile) {
  auto defaults = LoadText("[HTTP]\n");
  EXPECT_EQ(defaults.m_nHttpTimeout, 300);
  EXPECT_EQ(defaults.m_szHttpCAFile, "");
  auto set = LoadText("[HTTP]\nTimeout=0\nCAFile=/etc/inv/ca.pem\n");
  EXPECT_EQ(set.m_nHttpTimeout, 0);
  EXPECT_EQ(set.m_szHttpCAFile, "/etc/inv/ca.pem");
  EXPECT_EQ(LoadText("[HTTP]\nTimeout=-5\n").m_nHttpTimeout, 300);
  EXPECT_EQ(LoadText("[HTTP]\nTimeout=12\n").m_nHttpTimeout, 12);
}

}  // namespace
