#include "base/hex.h"

void AppendHex(std::string& out, const unsigned char* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < size; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
}
