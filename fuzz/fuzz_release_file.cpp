// Release files: a keyed value is one line's text, without its quotes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "host/identity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::string_view key : {"PRETTY_NAME=", "DISTRIB_DESCRIPTION="}) {
    const std::optional<std::string> value = KeyedValue(text, key);
    if (!value) continue;
    Check(text.find(key) != std::string_view::npos && value->find('\n') == std::string::npos &&
          text.find(*value) != std::string_view::npos);
  }
  return 0;
}
