#include "base/document_text.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace {

TEST(AttributeText, EscapesConvertsAndReplacesInvalidBytes) {
  const std::string zero(1, '\0');
  const std::pair<std::string, std::string> cases[] = {
      {"a\"b<c>&d ~\x7f", "a&quot;b&lt;c&gt;&amp;d ~\x7f"},
      {"a\x01\x08\x0b\x1f" + zero + "b", "a?????b"},
      {"line\nfeed\ttab\r", "line&#10;feed&#9;tab&#13;"},
      // Windows-1250's bytes are checked below; U+0085 may stand as a
      // reference, U+FFFE and U+FFFF may not.
      {"(\xe9\x99\xb3)\xc2\x85\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf",
       "(&#38515;)&#133;&#128512;&#1114111;"},
      {"\xef\xbf\xbe\xef\xbf\xbf\xef\xbf\xbd", "??&#65533;"},
      // Each byte outside valid UTF-8 becomes "?", and the next byte starts afresh:
      // overlong, surrogate, above U+10FFFF, lone, truncated.
      {"\xc0\x80|\xe0\x80\x80|\xf0\x8f\xbf\xbf|\xff", "??|???|????|?"},
      {"\xed\xa0\x80|\xf4\x90\x80\x80|\xf5\x80", "???|????|??"},
      {"\x80|\xc3|\xe2\x82" "A|\xe2\x82\xe2\x82\xac", "?|?|??A|??\x80"},
  };
  for (const auto& [raw, text] : cases) EXPECT_EQ(AttributeText(raw), text) << raw;
}

// Every character of the Basic Multilingual Plane against the C library's
// own windows-1250 converter: its byte where it has one, else a reference.
TEST(AttributeText, AgreesWithTheSystemConverterOnEveryCharacter) {
  const iconv_t cd = iconv_open("CP1250", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1250 converter in the C library";
  int mapped = 0;
  for (char32_t c = 0x80; c <= 0xFFFD; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string in = c < 0x800 ? std::string{static_cast<char>(0xC0 | c >> 6)}
                               : std::string{static_cast<char>(0xE0 | c >> 12),
                                             static_cast<char>(0x80 | ((c >> 6) & 0x3F))};
    in += static_cast<char>(0x80 | (c & 0x3F));
    char out[8];
    char *inPtr = in.data(), *outPtr = out;
    size_t inLeft = in.size(), outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
    mapped += converted;
    const std::string reference = "&#" + std::to_string(c) + ";";
    ASSERT_EQ(AttributeText(in), converted ? std::string(out, outPtr) : reference)
        << "U+" << std::hex << static_cast<uint32_t>(c);
  }
  iconv_close(cd);
  EXPECT_EQ(mapped, 123);  // all but five of the bytes 0x80-0xFF
}

TEST(EscapeMarkup, EntitiesOnlyAndEveryOtherByteKept) {
  const std::string raw = std::string("a\"b<c>&d\x01\tb\nc\rd\x7f\x80\xff \xc3\xa9") + '\0';
  EXPECT_EQ(EscapeMarkup(raw), "a&quot;b&lt;c&gt;&amp;d?\tb\nc\rd\x7f\x80\xff \xc3\xa9?");
}

}  // namespace
