#include "upload/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Base64, PaddedWithoutLineBreaksAndChunksJoinToTheWhole) {
  for (const auto& [bytes, text] :
       {std::pair<std::string, std::string>{"abc", "YWJj"}, {"ab", "YWI="}, {"a", "YQ=="},
        {"", ""}, {"\xFF\xFF", "//8="}}) {
    EXPECT_EQ(Base64Encode(bytes), text);
    EXPECT_EQ(Base64Decode(text), bytes);
  }
  std::string data, joined;  // every byte value, in chunks of a multiple of three
  for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 31));
  for (size_t at = 0; at < data.size(); at += 99) joined += Base64Encode(data.substr(at, 99));
  EXPECT_EQ(joined, Base64Encode(data));
  EXPECT_EQ(joined.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(Base64Decode(joined), data);
  EXPECT_EQ(Base64Decode("YW Jj\r\n"), "abc");
  // Malformed text never gives more bytes than it has characters.
  for (const std::string text : {"!", "==", "=A==", "A", "AB#$%^&*"})
    EXPECT_LE(Base64Decode(text).size(), text.size()) << text;
}

}  // namespace
