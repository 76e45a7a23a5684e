#include "upload/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Encoded(CBase64& codec, const std::string& bytes) {
  codec.Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return std::string(reinterpret_cast<const char*>(codec.EncodedMessage()),
                     codec.m_nEncodedLength);
}

std::string Decoded(CBase64& codec, const std::string& text) {
  codec.Decode(text.c_str());
  return std::string(reinterpret_cast<const char*>(codec.DecodedMessage()),
                     codec.m_nDecodedLength);
}

TEST(Base64Encode, PaddingCases) {
  CBase64 codec;
  EXPECT_EQ(Encoded(codec, "abc"), "YWJj");
  EXPECT_EQ(Encoded(codec, "ab"), "YWI=");
  EXPECT_EQ(Encoded(codec, "a"), "YQ==");
  codec.Encode(reinterpret_cast<const unsigned char*>(""), 0);
  EXPECT_EQ(codec.m_nEncodedLength, 0u);
}

TEST(Base64Encode, LongInputHasNoLineBreaks) {
  CBase64 codec;
  EXPECT_EQ(Encoded(codec, std::string(57, 'x')).size(), 76u);
  const std::string text = Encoded(codec, std::string(600, '\xA5'));
  EXPECT_EQ(text.size(), 800u);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64Encode, HighBytesIndependentOfEarlierCalls) {
  CBase64 codec;
  Encoded(codec, "something longer that leaves bytes in the buffer");
  EXPECT_EQ(Encoded(codec, "\xFF"), "/w==");
  EXPECT_EQ(Encoded(codec, "\xFF\xFF"), "//8=");
}

TEST(Base64Encode, ReusesBuffersForSmallerInput) {
  CBase64 codec;
  Encoded(codec, std::string(10000, 'q'));
  const unsigned char* before = codec.EncodedMessage();
  const uint64_t capacity = codec.m_nEncodedCapacity;
  EXPECT_EQ(Encoded(codec, "abc"), "YWJj");
  EXPECT_EQ(codec.EncodedMessage(), before);
  EXPECT_EQ(codec.m_nEncodedCapacity, capacity);
}

TEST(Base64Encode, ChunksOfMultiplesOfThreeConcatenateToTheWhole) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 31));
  CBase64 whole, chunked;
  const std::string expected = Encoded(whole, data);
  std::string joined;
  for (size_t at = 0; at < data.size(); at += 99) joined += Encoded(chunked, data.substr(at, 99));
  EXPECT_EQ(joined, expected);
}

TEST(Base64Decode, DropsWhiteSpaceAndHonoursPadding) {
  CBase64 codec;
  EXPECT_EQ(Decoded(codec, "YW Jj\r\n"), "abc");
  EXPECT_EQ(Decoded(codec, "YQ=="), "a");
  EXPECT_EQ(Decoded(codec, "YWI="), "ab");
  EXPECT_EQ(Decoded(codec, "YWI"), "ab");  // a short last group
}

TEST(Base64Decode, RoundTripsEveryByteValue) {
  std::string data;
  for (int i = 0; i < 256; ++i) data.push_back(static_cast<char>(i));
  CBase64 codec;
  const std::string text = Encoded(codec, data);
  EXPECT_EQ(Decoded(codec, text), data);
}

TEST(Base64Decode, MalformedTextStaysWithinItsBuffer) {
  CBase64 codec;
  for (const std::string& text : std::vector<std::string>{"!", "==", "=A==", "A", "AB#$%^&*", std::string(5000, '*')}) {
    codec.Decode(text.c_str());
    EXPECT_LE(codec.m_nDecodedLength, text.size());
  }
}

TEST(Base64Buffers, GrowInStepsOf4096) {
  CBase64 codec;
  codec.AllocEncode(0);
  EXPECT_EQ(codec.EncodedMessage(), nullptr);
  codec.AllocEncode(4095);
  EXPECT_EQ(codec.m_nEncodedCapacity, 4096u);
  CBase64 fresh;
  fresh.AllocEncode(4096);
  EXPECT_EQ(fresh.m_nEncodedCapacity, 8192u);
  codec.AllocEncode(100);  // large enough already: stays
  EXPECT_EQ(codec.m_nEncodedCapacity, 4096u);
}

TEST(Base64, NullTextChangesNothing) {
  CBase64 codec;
  Encoded(codec, "abc");
  codec.Encode(static_cast<const char*>(nullptr));
  codec.Decode(static_cast<const char*>(nullptr));
  EXPECT_EQ(codec.m_nEncodedLength, 4u);
  EXPECT_EQ(codec.DecodedMessage()[0], 'a');
}

}  // namespace
