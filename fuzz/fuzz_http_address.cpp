// The upload address: whatever it holds, the host is a bare name or a
// bracketed IPv6 literal and the path a rooted directory. The same text as a
// proxy URL: a host, a port in range, and a mask that hides the password.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "upload/http_address.h"
#include "upload/proxy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string address(reinterpret_cast<const char*>(data), size);
  const HttpTarget target = ParseHttpAddress(address);
  if (target.host.find_first_of("/\\") != std::string::npos) std::abort();
  if (target.host.find(':') != std::string::npos && !target.host.starts_with('[')) std::abort();
  if (address.empty() != target.path.empty()) std::abort();
  if (!target.path.empty() && (target.path.front() != '/' || target.path.back() != '/')) std::abort();
  if (target.path.find('\\') != std::string::npos) std::abort();
  if (target.tls && address.find("https:") == std::string::npos) std::abort();
  const Result<ProxyUrl> proxy = ParseProxyUrl(address);
  if (proxy) {
    if (proxy->host.empty() || proxy->port < 1 || proxy->port > 65535) std::abort();
    if (proxy->host.find_first_of("@/") != std::string::npos) std::abort();
    const std::string masked = MaskedProxyUrl(*proxy);
    if (proxy->credentials && masked.find(":***@") == std::string::npos) std::abort();
  }
  (void)ChooseProxy(address, target, {address, address, address});
  (void)NoProxyMatches(address, target.host);
  return 0;
}
