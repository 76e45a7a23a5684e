#include "upload/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Encoded(CBase64& codec, const std::string& bytes) {
  codec.Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return {reinterpret_cast<const char*>(codec.EncodedMessage()), codec.m_nEncodedLength};
}

std::string Decoded(CBase64& codec, const std::string& text) {
  codec.Decode(text.c_str());
  return {reinterpret_cast<const char*>(codec.DecodedMessage()), codec.m_nDecodedLength};
}

TEST(Base64, EncodesWithPaddingAndWithoutLineBreaks) {
  CBase64 codec;
  Encoded(codec, std::string(10000, 'q'));  // later results must not depend on it
  const unsigned char* buffer = codec.EncodedMessage();
  for (const auto& [bytes, text] : {std::pair<std::string, std::string>{"abc", "YWJj"},
                                    {"ab", "YWI="}, {"a", "YQ=="}, {"", ""}, {"\xFF", "/w=="},
                                    {"\xFF\xFF", "//8="}})
    EXPECT_EQ(Encoded(codec, bytes), text);
  EXPECT_EQ(codec.EncodedMessage(), buffer);  // reused, not reallocated
  EXPECT_EQ(Encoded(codec, std::string(57, 'x')).size(), 76u);
  const std::string text = Encoded(codec, std::string(600, '\xA5'));
  EXPECT_EQ(text.size(), 800u);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64, ChunksOfMultiplesOfThreeConcatenateToTheWhole) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 31));
  CBase64 whole, chunked;
  std::string joined;
  for (size_t at = 0; at < data.size(); at += 99) joined += Encoded(chunked, data.substr(at, 99));
  EXPECT_EQ(joined, Encoded(whole, data));
  EXPECT_EQ(Decoded(whole, joined), data);  // every byte value round-trips
}

TEST(Base64, DecodesDroppingWhiteSpace) {
  CBase64 codec;
  for (const auto& [text, bytes] : {std::pair<std::string, std::string>{"YW Jj\r\n", "abc"},
                                    {"YQ==", "a"}, {"YWI=", "ab"}, {"YWI", "ab"}})
    EXPECT_EQ(Decoded(codec, text), bytes) << text;
  // Malformed text stays within its buffer.
  for (const std::string text : {"!", "==", "=A==", "A", "AB#$%^&*", "********"}) {
    codec.Decode(text.c_str());
    EXPECT_LE(codec.m_nDecodedLength, text.size()) << text;
  }
}

TEST(Base64, BuffersGrowInStepsOf4096AndNullTextChangesNothing) {
  CBase64 codec, fresh;
  codec.AllocEncode(0);
  EXPECT_EQ(codec.EncodedMessage(), nullptr);
  codec.AllocEncode(4095);
  fresh.AllocEncode(4096);
  EXPECT_EQ(codec.m_nEncodedCapacity, 4096u);
  EXPECT_EQ(fresh.m_nEncodedCapacity, 8192u);
  EXPECT_EQ(Encoded(codec, "abc"), "YWJj");
  codec.Encode(static_cast<const char*>(nullptr));
  codec.Decode(static_cast<const char*>(nullptr));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(codec.EncodedMessage()),
                        codec.m_nEncodedLength), "YWJj");
  EXPECT_EQ(codec.m_nEncodedCapacity, 4096u);  // large enough already: stays
  EXPECT_EQ(codec.DecodedMessage()[0], 'a');
}

}  // namespace
