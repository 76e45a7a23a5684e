// Logged text: one line whatever it carries, and bounded.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/log.h"
#include "base/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string line = LogText(text);
  const std::string_view inner = Trimmed(line, "\n");
  if (inner.empty() && line != text) std::abort();
  for (const unsigned char c : inner)
    if (c < 0x20 || c == 0x7F) std::abort();
  if (inner.size() > kLogTextLimit + 64) std::abort();
  return 0;
}
