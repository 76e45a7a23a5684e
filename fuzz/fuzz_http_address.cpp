// The upload address: whatever it holds, the host is a bare name and the
// path a rooted directory.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "upload/http_address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string address(reinterpret_cast<const char*>(data), size);
  const HttpTarget target = ParseHttpAddress(address);
  if (target.host.find_first_of("/\\:") != std::string::npos) std::abort();
  if (address.empty() != target.path.empty()) std::abort();
  if (!target.path.empty() && (target.path.front() != '/' || target.path.back() != '/')) std::abort();
  if (target.path.find('\\') != std::string::npos) std::abort();
  if (target.tls && address.find("https:") == std::string::npos) std::abort();
  return 0;
}
