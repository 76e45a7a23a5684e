#include "base/document_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

namespace {

// The characters of windows-1250 bytes 0x80-0xFF; zero where the code page
// leaves the byte undefined.
constexpr std::array<char16_t, 128> kWindows1250High = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0,      0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 0x88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 0x98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // 0xA0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // 0xA8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // 0xB8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // 0xC0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // 0xC8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // 0xD0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // 0xD8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // 0xE0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // 0xE8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // 0xF0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // 0xF8
};

struct CodeByte {
  char32_t codePoint;
  unsigned char byte;
};

constexpr size_t kDefinedCount = static_cast<size_t>(std::count_if(
    kWindows1250High.begin(), kWindows1250High.end(), [](char16_t c) { return c != 0; }));

// The defined bytes by code point, for a binary search.
constexpr std::array<CodeByte, kDefinedCount> kByCodePoint = [] {
  std::array<CodeByte, kDefinedCount> table{};
  size_t n = 0;
  for (size_t i = 0; i < kWindows1250High.size(); ++i) {
    if (kWindows1250High[i] != 0)
      table[n++] = {kWindows1250High[i], static_cast<unsigned char>(0x80 + i)};
  }
  std::sort(table.begin(), table.end(),
            [](const CodeByte& a, const CodeByte& b) { return a.codePoint < b.codePoint; });
  return table;
}();
static_assert(kDefinedCount == 123, "windows-1250 leaves five bytes undefined");

// The windows-1250 byte of a non-ASCII code point, or -1.
int Windows1250Byte(char32_t codePoint) {
  const auto* it = std::lower_bound(
      kByCodePoint.begin(), kByCodePoint.end(), codePoint,
      [](const CodeByte& entry, char32_t value) { return entry.codePoint < value; });
  return it != kByCodePoint.end() && it->codePoint == codePoint ? it->byte : -1;
}

// Bytes copied as they are: printable ASCII but the markup characters.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c) plain[c] = c != '&' && c != '<' && c != '>' && c != '"';
  return plain;
}();

bool ForbiddenInXml(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

void AppendReference(std::string& out, char32_t codePoint) {
  char digits[8];  // up to 1114111
  const auto end =
      std::to_chars(digits, digits + sizeof digits, static_cast<uint32_t>(codePoint)).ptr;
  out += "&#";
  out.append(digits, end);
  out += ';';
}

void AppendAsciiSpecial(std::string& out, unsigned char c) {
  switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    // A parser would turn these into spaces inside an attribute value.
    case '\t': case '\n': case '\r': AppendReference(out, c); break;
    default: out += '?';
  }
}

// The length of the well-formed UTF-8 sequence at `p` (at most `available`
// bytes) and its code point; 0 for an overlong form, a surrogate, a code
// point above U+10FFFF or a truncated sequence.
size_t DecodeUtf8(const unsigned char* p, size_t available, char32_t& codePoint) {
  const unsigned char lead = p[0];
  size_t length = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, least = 0x80, codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, least = 0x800, codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, least = 0x10000, codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (available < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (p[i] & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < least || codePoint > 0x10FFFF || surrogate) return 0;
  return length;
}

// Writes the character at `p` (not ASCII) and returns the bytes it used.
size_t AppendNonAscii(std::string& out, const unsigned char* p, size_t available) {
  char32_t codePoint = 0;
  const size_t length = DecodeUtf8(p, available, codePoint);
  if (length == 0) {
    out += '?';  // only this byte; the next one starts afresh
    return 1;
  }
  if (const int byte = Windows1250Byte(codePoint); byte >= 0) {
    out += static_cast<char>(byte);
  } else if (codePoint == 0xFFFE || codePoint == 0xFFFF) {
    out += '?';  // not a character in XML, even as a reference
  } else {
    AppendReference(out, codePoint);
  }
  return length;
}

}  // namespace

void AppendAttributeText(std::string& out, std::string_view raw) {
  const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
  const auto* const end = p + raw.size();
  while (p < end) {
    const auto* const run = p;
    while (p < end && kPlain[*p]) ++p;
    out.append(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
    if (p == end) break;
    if (*p < 0x80) {
      AppendAsciiSpecial(out, *p++);
    } else {
      p += AppendNonAscii(out, p, static_cast<size_t>(end - p));
    }
  }
}

std::string AttributeText(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  AppendAttributeText(out, raw);
  return out;
}

std::string EscapeMarkup(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (char ch : raw) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += ForbiddenInXml(static_cast<unsigned char>(ch)) ? '?' : ch;
    }
  }
  return out;
}

DocumentWriter& DocumentWriter::Attribute(std::string_view name, std::string_view raw) {
  value_.clear();
  AppendAttributeText(value_, raw);
  out_ << ' ' << name << "=\"" << value_ << '"';
  return *this;
}
