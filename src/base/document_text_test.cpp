#include "base/document_text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <sstream>

namespace {

TEST(AttributeText, EscapesAndConvertsToWindows1250) {
  const std::string zero(1, '\0');
  const struct {
    std::string raw, text;
  } cases[] = {
      {"a\"b<c>&d", "a&quot;b&lt;c&gt;&amp;d"},
      {"it's &amp;", "it's &amp;amp;"},
      {"Debian GNU/Linux 12 (bookworm) ~\x7f", "Debian GNU/Linux 12 (bookworm) ~\x7f"},
      {"a\x01\x08\x0b\x0c\x0e\x1f" + zero + "b", "a???????b"},
      {"line\nfeed\ttab\r", "line&#10;feed&#9;tab&#13;"},
      // Characters windows-1250 has become its bytes.
      {"\xc5\x81ukasz \xc5\xbb\xc3\xb3\xc5\x82w", "\xa3ukasz \xaf\xf3\xb3w"},
      {"Jos\xc3\xa9 M\xc3\xbcller \xe2\x82\xac" "uro", "Jos\xe9 M\xfcller \x80uro"},
      // Others become references; U+0085 is allowed as one, U+FFFE and U+FFFF are not.
      {"Chen (\xe9\x99\xb3\xe6\x98\x8c\xe5\x80\xac)", "Chen (&#38515;&#26124;&#20524;)"},
      {"\xc2\x85\xc3\x85\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf", "&#133;&#197;&#128512;&#1114111;"},
      {"\xef\xbf\xbe\xef\xbf\xbf\xef\xbf\xbd", "??&#65533;"},
      // Each byte outside valid UTF-8 becomes "?", and the next byte starts afresh.
      {"bad\xff\xfe", "bad??"},
      {"\xc0\x80|\xc1\xbf|\xe0\x80\x80|\xf0\x8f\xbf\xbf", "??|??|???|????"},   // overlong
      {"\xed\xa0\x80|\xf4\x90\x80\x80|\xf5\x80", "???|????|??"},  // surrogate, above U+10FFFF
      {"\x80|\xc3|\xe2\x82" "A|\xe2\x82\xe2\x82\xac", "?|?|??A|??\x80"},  // lone, truncated
  };
  for (const auto& c : cases) EXPECT_EQ(AttributeText(c.raw), c.text) << c.raw;
  EXPECT_EQ(AttributeText(std::string(20000, '&')).size(), 100000u);
  std::string appended = "x=";
  AppendAttributeText(appended, "\xc3\xa9");
  EXPECT_EQ(appended, "x=\xe9");
}

std::string Utf8(char32_t c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  if (c < 0x800) return {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
  return {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
          static_cast<char>(0x80 | (c & 0x3F))};
}

// Every character of the Basic Multilingual Plane against the C library's
// own windows-1250 converter: its byte where it has one, else a reference.
TEST(AttributeText, AgreesWithTheSystemConverterOnEveryCharacter) {
  const iconv_t cd = iconv_open("CP1250", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1250 converter in the C library";
  int mapped = 0;
  for (char32_t c = 0x80; c <= 0xFFFD; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string in = Utf8(c);
    char out[8];
    char* inPtr = in.data();
    char* outPtr = out;
    size_t inLeft = in.size(), outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
    const std::string expected =
        converted ? std::string(out, outPtr) : "&#" + std::to_string(c) + ";";
    mapped += converted;
    ASSERT_EQ(AttributeText(in), expected) << "U+" << std::hex << static_cast<uint32_t>(c);
  }
  iconv_close(cd);
  EXPECT_EQ(mapped, 123);  // all but five of the bytes 0x80-0xFF
}

TEST(EscapeMarkup, EntitiesOnlyAndEveryOtherByteKept) {
  std::string raw = std::string("a\"b<c>&d\x01\tb\nc\rd\x7f\x80\xff \xc3\xa9") + '\0';
  EXPECT_EQ(EscapeMarkup(raw), "a&quot;b&lt;c&gt;&amp;d?\tb\nc\rd\x7f\x80\xff \xc3\xa9?");
}

TEST(DocumentWriter, MarkupAsItStandsValuesEscaped) {
  std::ostringstream out;
  DocumentWriter(out).Markup("<E").Attribute("A", "x<y\xc5\xa0").Attribute("B", "").Markup("/>");
  EXPECT_EQ(out.str(), "<E A=\"x&lt;y\x8a\" B=\"\"/>");
}

}  // namespace
