#include "base/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(std::string_view text, LastLine last) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); }, last);
  return lines;
}

TEST(Text, LinesSplitAtLineFeedsWithoutTheirCarriageReturns) {
  using Lines = std::vector<std::string>;
  const struct {
    const char* text;
    LastLine last;
    Lines lines;
  } cases[] = {
      {"", LastLine::kKept, {}},
      {"a\nb", LastLine::kKept, {"a", "b"}},
      {"a\nb", LastLine::kDropped, {"a"}},
      {"a\r\n\nb\r\r\n", LastLine::kDropped, {"a", "", "b"}},
      {"\n\n", LastLine::kKept, {"", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" kept=" << (c.last == LastLine::kKept));
    EXPECT_EQ(Split(c.text, c.last), c.lines);
  }
}

TEST(Text, TrimsOnlyTheChosenCharactersAtTheEnds) {
  EXPECT_EQ(Trimmed(" \t a b \r\n"), "a b");
  EXPECT_EQ(Trimmed("  "), "");
  EXPECT_EQ(TrimmedStart("xxaxx", "x"), "axx");
  EXPECT_EQ(TrimmedEnd("xxaxx", "x"), "xxa");
}

TEST(Text, FoldsAsciiCaseOnly) {
  EXPECT_EQ(AsciiLowered("AbZ\xC3\x89@["), "abz\xC3\x89@[");
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Content-Length", "content-LENGTH"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\x89", "\xC3\xA9"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("HTTP/1.1 200", "http/"));
  EXPECT_TRUE(EndsWithIgnoringAsciiCase("settings.INI", ".ini"));
  EXPECT_FALSE(EndsWithIgnoringAsciiCase("ini", ".ini"));
}

TEST(Text, FixedBufferTextEndsAtTheFirstNulOrTheCapacity) {
  const char held[6] = {'a', 'b', '\0', 'c', 'd', 'e'};
  EXPECT_EQ(TextUpToNul(held, sizeof held), "ab");
  EXPECT_EQ(TextUpToNul(held + 3, 3), "cde");
}

}  // namespace
