// Logged text: one line whatever it carries, and bounded.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string line = LogText(text);
  const size_t first = line.find_first_not_of('\n');
  if (first == std::string::npos) return line == text ? 0 : (std::abort(), 0);
  const size_t last = line.find_last_not_of('\n');
  for (size_t i = first; i <= last; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c == 0x7F) std::abort();
  }
  if (last - first >= kLogTextLimit + 64) std::abort();
  return 0;
}
