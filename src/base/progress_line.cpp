#include "base/progress_line.h"

#include <algorithm>
#include <cstring>

namespace {

// `value` in decimal, zero-padded to at least eight digits.
char* PutCounter(char* out, uint32_t value) {
  char digits[10];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < 8) digits[n++] = '0';
  while (n > 0) *out++ = digits[--n];
  return out;
}

}  // namespace

std::string_view FormatProgressLine(ProgressLine& line, std::initializer_list<uint32_t> counters,
                                    std::string_view text) {
  // At most 1 + 3 * 11 bytes before the text: the line always has room.
  static_assert(std::tuple_size_v<ProgressLine> == 80);
  char* p = line.data();
  *p++ = '\r';
  for (const uint32_t counter : counters) {
    p = PutCounter(p, counter);
    *p++ = ' ';
  }
  const size_t room = line.size() - static_cast<size_t>(p - line.data());
  const size_t shown = std::min(text.size(), room);
  std::memcpy(p, text.data(), shown);
  std::memset(p + shown, ' ', room - shown);
  return std::string_view(line.data(), line.size());
}
