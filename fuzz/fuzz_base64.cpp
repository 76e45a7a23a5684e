// Base64 both ways: encoding gives the alphabet at the computed length and
// decodes back to the original; any text decodes to at most its length.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "upload/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = Base64Encode(bytes);
  if (text.size() != Base64Length(size)) std::abort();
  if (text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=") !=
      std::string::npos)
    std::abort();
  if (Base64Decode(text) != bytes) std::abort();
  if (Base64Decode(bytes).size() > size) std::abort();
  return 0;
}
