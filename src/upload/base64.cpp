#include "upload/base64.h"

#include <array>

namespace {

constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kNotBase64 = 0xFE;
constexpr unsigned char kPadding = 0xFF;

// A byte's value; a byte with the high bit set reads like the one without.
constexpr std::array<unsigned char, 256> MakeDecodeTable() {
  std::array<unsigned char, 256> table{};
  for (auto& v : table) v = kNotBase64;
  for (unsigned char v = 0; v < 64; ++v) {
    const auto c = static_cast<unsigned char>(kDigits[v]);
    table[c] = table[c | 0x80] = v;
  }
  table['='] = table['=' | 0x80] = kPadding;
  return table;
}

constexpr std::array<unsigned char, 256> kDecodeTable = MakeDecodeTable();

bool IsWhiteSpace(unsigned char byte) { return (byte >= 7 && byte <= 13) || byte == ' '; }

unsigned char ValueOf(unsigned char c) {
  const unsigned char v = kDecodeTable[c];
  return v >= 64 ? 0 : v;
}

}  // namespace

void AppendBase64(std::string& out, const unsigned char* data, size_t size) {
  out.reserve(out.size() + Base64Length(size));
  size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const uint32_t group = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) out += kDigits[(group >> shift) & 0x3F];
  }
  if (const size_t rest = size - i; rest > 0) {
    const uint32_t group = uint32_t(data[i]) << 16 | (rest == 2 ? uint32_t(data[i + 1]) << 8 : 0);
    out += kDigits[group >> 18];
    out += kDigits[(group >> 12) & 0x3F];
    out += rest == 2 ? kDigits[(group >> 6) & 0x3F] : '=';
    out += '=';
  }
}

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  AppendBase64(out, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return out;
}

std::string Base64Decode(std::string_view text) {
  std::string clean;
  for (char c : text)
    if (!IsWhiteSpace(static_cast<unsigned char>(c))) clean += c;
  std::string out;
  out.reserve(clean.size() / 4 * 3 + 3);
  size_t i = 0;
  for (; i + 4 <= clean.size(); i += 4) {
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) group = group << 6 | ValueOf(static_cast<unsigned char>(clean[i + k]));
    const size_t pads = (kDecodeTable[static_cast<unsigned char>(clean[i + 2])] == kPadding) +
                        (kDecodeTable[static_cast<unsigned char>(clean[i + 3])] == kPadding);
    for (size_t k = 0; k < 3 - pads; ++k) out += static_cast<char>(group >> (16 - 8 * k));
  }
  // A last group of two or three characters gives one or two bytes.
  if (const size_t rest = clean.size() - i; rest > 1) {
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k)
      group = group << 6 | (k < rest ? ValueOf(static_cast<unsigned char>(clean[i + k])) : 0);
    for (size_t k = 0; k + 1 < rest; ++k) out += static_cast<char>(group >> (16 - 8 * k));
  }
  return out;
}
