// The document's text: whatever a value holds, the attribute text is
// well-formed (no raw markup, no forbidden byte, only known entities) and a
// parser reading it as windows-1250 gets back every character XML allows.
#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check.h"
#include "base/document_text.h"

namespace {

// The code point of the UTF-8 character at `at`, or -1 when invalid there.
long NextCodePoint(std::string_view s, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = byte(at);
  const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (length == 0 || at + length > s.size()) return ++at, -1;
  long cp = length == 1 ? c : c & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return ++at, -1;
    cp = cp << 6 | (byte(at + i) & 0x3F);
  }
  static const long kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return ++at, -1;
  at += length;
  return cp;
}

bool AllowedInXml(long cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
}

// What an XML parser makes of the attribute text: windows-1250 bytes (read
// with glibc's own table) and the entities resolved, as code points.
std::u32string AsParsed(const std::string& text) {
  std::u32string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      const size_t end = text.find(';', i);
      Check(end != std::string::npos);
      const std::string name = text.substr(i + 1, end - i - 1);
      if (name == "amp") out += '&';
      else if (name == "lt") out += '<';
      else if (name == "gt") out += '>';
      else if (name == "quot") out += '"';
      else {
        Check(name.size() > 1 && name[0] == '#' && name.find_first_not_of("0123456789", 1) == std::string::npos);
        const long cp = std::strtol(name.c_str() + 1, nullptr, 10);
        Check(AllowedInXml(cp));
        out += static_cast<char32_t>(cp);
      }
      i = end;
      continue;
    }
    static iconv_t toWide = iconv_open("WCHAR_T", "CP1250");
    char in = text[i];
    wchar_t converted = 0;
    char* from = &in;
    char* to = reinterpret_cast<char*>(&converted);
    size_t inLeft = 1, outLeft = sizeof converted;
    Check(iconv(toWide, &from, &inLeft, &to, &outLeft) != static_cast<size_t>(-1) && outLeft == 0);
    out += static_cast<char32_t>(converted);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  const std::string text = AttributeText(raw);
  for (unsigned char c : text) Check(c >= 0x20 && c != '<' && c != '"');
  // Every character XML allows comes back; everything else reads as "?".
  std::u32string expected;
  for (size_t at = 0; at < raw.size();) {
    const long cp = NextCodePoint(raw, at);
    expected += cp >= 0 && AllowedInXml(cp) ? static_cast<char32_t>(cp) : U'?';
  }
  Check(AsParsed(text) == expected);
  return 0;
}
