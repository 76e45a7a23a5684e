#include "upload/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Base64, EncodesWithPaddingAndWithoutLineBreaks) {
  for (const auto& [bytes, text] : {std::pair<std::string, std::string>{"abc", "YWJj"},
                                    {"ab", "YWI="}, {"a", "YQ=="}, {"", ""}, {"\xFF", "/w=="},
                                    {"\xFF\xFF", "//8="}})
    EXPECT_EQ(Base64Encode(bytes), text);
  EXPECT_EQ(Base64Encode(std::string(57, 'x')).size(), 76u);
  const std::string text = Base64Encode(std::string(600, '\xA5'));
  EXPECT_EQ(text.size(), 800u);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64, ChunksOfMultiplesOfThreeConcatenateToTheWhole) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 31));
  std::string joined;
  for (size_t at = 0; at < data.size(); at += 99) joined += Base64Encode(data.substr(at, 99));
  EXPECT_EQ(joined, Base64Encode(data));
  EXPECT_EQ(Base64Decode(joined), data);  // every byte value round-trips
}

TEST(Base64, DecodesDroppingWhiteSpace) {
  for (const auto& [text, bytes] : {std::pair<std::string, std::string>{"YW Jj\r\n", "abc"},
                                    {"YQ==", "a"}, {"YWI=", "ab"}, {"YWI", "ab"}})
    EXPECT_EQ(Base64Decode(text), bytes) << text;
  // Malformed text never gives more bytes than it has characters.
  for (const std::string text : {"!", "==", "=A==", "A", "AB#$%^&*", "********"})
    EXPECT_LE(Base64Decode(text).size(), text.size()) << text;
}

}  // namespace
