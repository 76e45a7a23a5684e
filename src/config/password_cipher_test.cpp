#include "config/password_cipher.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/text.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Published vectors, each 32-bit half stored least significant byte first.
TEST(Blowfish, PublishedVectorsInTheBlockLayout) {
  using Vector = std::tuple<Bytes, Bytes, Bytes>;  // key, plain, cipher
  for (const auto& [key, plain, cipher] : std::vector<Vector>{
           {Bytes(8, 0), Bytes(8, 0), {0x45, 0x97, 0xF9, 0x4E, 0x78, 0xDD, 0x98, 0x61}},
           {{0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10},
            {0x67, 0x45, 0x23, 0x01, 0xEF, 0xCD, 0xAB, 0x89},
            {0x0F, 0xAB, 0xCE, 0x0A, 0x8D, 0xA2, 0xA0, 0xC6}}}) {
    const Blowfish bf(key.data(), 8);
    Bytes block = plain;
    EXPECT_EQ(bf.Encrypt(block.data(), block.data(), 8), 8u);
    EXPECT_EQ(block, cipher);
    bf.Decrypt(block.data(), block.data(), 8);
    EXPECT_EQ(block, plain);
  }
}

// Bytes past the length given do not count: the last block is padded with zeros.
TEST(Blowfish, PadsTheLastBlockWithZeros) {
  const Blowfish bf(reinterpret_cast<const unsigned char*>("key"), 3);
  Bytes in = {'a', 'b', 'c', 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}, out(8);
  EXPECT_EQ(bf.Encrypt(in.data(), out.data(), 3), 8u);
  Bytes padded = {'a', 'b', 'c', 0, 0, 0, 0, 0};
  bf.Encrypt(padded.data(), padded.data(), 8);
  EXPECT_EQ(out, padded);
}

TEST(PasswordHex, RoundTripsEveryLengthFrom1To255InEitherCase) {
  std::string password;
  for (int n = 1; n <= 255; ++n) {
    password.push_back(static_cast<char>(' ' + (n * 37) % 95));
    const std::string hex = EncryptPassword(password);
    ASSERT_EQ(hex.size(), Blowfish::PaddedLength(n) * 2);
    ASSERT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    ASSERT_EQ(DecryptPassword(hex), password) << n;
    ASSERT_EQ(DecryptPassword(AsciiLowered(hex)), password) << n;
  }
}

TEST(PasswordHex, BrokenTextDecodesWithoutReadingUndefinedBytes) {
  EXPECT_EQ(DecryptPassword(""), "");
  // Odd and short counts and non-hex pairs: the same text always gives the
  // same result, as the work buffer starts zeroed.
  for (std::string text : {"A", "ABC", "0123456789", "ZZ12ZZ34ZZ56ZZ78", "G1H2I3J4K5L6M7N8O9"}) {
    const std::string first = DecryptPassword(text);
    EXPECT_EQ(DecryptPassword(text), first) << text;
    EXPECT_LE(first.size(), (text.size() + 1) / 2) << text;
  }
  // A pair that does not start with a digit stands for a zero byte.
  std::string spoiled = EncryptPassword("abcdefgh"), zeroed = spoiled;
  EXPECT_EQ(DecryptPassword(spoiled.replace(4, 2, "xy")),
            DecryptPassword(zeroed.replace(4, 2, "00")));
}

}  // namespace
