// Which HTTP proxy, if any, carries the upload: the Proxy setting, else the
// environment's http_proxy / https_proxy unless no_proxy names the host.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "upload/http_address.h"

// The proxy's own default port, as curl has it.
inline constexpr int kDefaultProxyPort = 1080;

struct ProxyUrl {
  std::string host;  // as written, an IPv6 literal in brackets
  int port = kDefaultProxyPort;
  std::string user;      // percent-decoded
  std::string password;  // percent-decoded; never logged
  bool credentials = false;  // "user:password@" was given
};

// Reads http://[user:password@]host[:port][/] (the scheme may be left out).
// Any other scheme, an empty host or a port outside 1-65535 is a failure,
// whose text never holds the password.
Result<ProxyUrl> ParseProxyUrl(std::string_view text);

// The URL as the log may show it: the password as "***".
std::string MaskedProxyUrl(const ProxyUrl& proxy);

// The proxy variables of the process, read once by the run.
struct ProxyEnvironment {
  std::string httpProxy;   // http_proxy, else HTTP_PROXY
  std::string httpsProxy;  // https_proxy, else HTTPS_PROXY
  std::string noProxy;     // no_proxy, else NO_PROXY
};
ProxyEnvironment ReadProxyEnvironment();

// Whether `host` (a name or an address, brackets allowed) is to be reached
// directly by the no_proxy list: comma-separated names, each matching itself
// and its subdomains (a leading "." is allowed), any case; "*" matches all.
bool NoProxyMatches(std::string_view list, std::string_view host);

// The proxy for `target`: none for "none" (any case), the setting when it
// is not empty, else the environment's variable for the scheme unless
// no_proxy matches. A proxy text that cannot be read is a failure.
Result<std::optional<ProxyUrl>> ChooseProxy(const std::string& setting, const HttpTarget& target,
                                            const ProxyEnvironment& environment);
