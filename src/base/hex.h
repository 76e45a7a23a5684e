// Hex text: upper-case digits out, digits of either case in.
#pragma once

#include <cstddef>
#include <string>

// Two upper-case hex digits for each of the `size` bytes, appended to `out`.
void AppendHex(std::string& out, const unsigned char* bytes, size_t size);
inline std::string HexText(const unsigned char* bytes, size_t size) {
  std::string out;
  AppendHex(out, bytes, size);
  return out;
}

// The value of one hex digit of either case; -1 for any other byte.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
