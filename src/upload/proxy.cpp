#include "upload/proxy.h"

#include <cstdlib>

#include "base/text.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = AsciiLower(c);
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// "%41" becomes "A"; a "%" without two hex digits stays as it is.
std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// A port of 1 to 5 digits within 1-65535; -1 otherwise.
int PortValue(std::string_view text) {
  if (text.empty() || text.size() > 5) return -1;
  int port = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= 65535 ? port : -1;
}

std::string Variable(const char* lower, const char* upper) {
  const char* value = std::getenv(lower);
  if (!value || !*value) value = std::getenv(upper);
  return value ? value : "";
}

Failure BadProxy(std::string reason) { return ReasonFailure("proxy", std::move(reason)); }

}  // namespace

Result<ProxyUrl> ParseProxyUrl(std::string_view text) {
  text = Trimmed(text);
  if (const size_t scheme = text.find("://"); scheme != std::string_view::npos) {
    if (!EqualsIgnoringAsciiCase(text.substr(0, scheme), "http"))
      return BadProxy("only http:// proxies are supported");
    text.remove_prefix(scheme + 3);
  }
  text = text.substr(0, text.find('/'));  // a trailing "/" or path means nothing here
  ProxyUrl proxy;
  if (const size_t at = text.rfind('@'); at != std::string_view::npos) {
    const std::string_view userInfo = text.substr(0, at);
    const size_t colon = userInfo.find(':');
    proxy.user = PercentDecoded(userInfo.substr(0, colon));
    if (colon != std::string_view::npos) proxy.password = PercentDecoded(userInfo.substr(colon + 1));
    proxy.credentials = true;
    text.remove_prefix(at + 1);
  }
  std::string_view port;
  if (text.starts_with('[')) {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return BadProxy("bad proxy address");
    proxy.host = text.substr(0, close + 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) return BadProxy("bad proxy address");
    if (!rest.empty()) port = rest.substr(1);
  } else {
    const size_t colon = text.find(':');
    proxy.host = text.substr(0, colon);
    if (colon != std::string_view::npos) port = text.substr(colon + 1);
  }
  if (proxy.host.empty() || proxy.host == "[]") return BadProxy("bad proxy address");
  if (!port.empty()) {
    proxy.port = PortValue(port);
    if (proxy.port < 0) return BadProxy("bad proxy port");
  }
  return proxy;
}

std::string MaskedProxyUrl(const ProxyUrl& proxy) {
  std::string text = "http://";
  if (proxy.credentials) text += proxy.user + ":***@";
  return text + proxy.host + ":" + std::to_string(proxy.port);
}

ProxyEnvironment ReadProxyEnvironment() {
  return {Variable("http_proxy", "HTTP_PROXY"), Variable("https_proxy", "HTTPS_PROXY"),
          Variable("no_proxy", "NO_PROXY")};
}

bool NoProxyMatches(std::string_view list, std::string_view host) {
  const std::string name = AsciiLowered(UnbracketedHost(std::string(host)));
  while (!list.empty()) {
    const size_t comma = list.find(',');
    std::string entry = AsciiLowered(Trimmed(list.substr(0, comma)));
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    if (entry == "*") return true;
    entry = UnbracketedHost(entry);
    if (entry.starts_with('.')) entry.erase(0, 1);
    if (entry.empty()) continue;
    if (name == entry || (name.size() > entry.size() && name.ends_with(entry) &&
                          name[name.size() - entry.size() - 1] == '.'))
      return true;
  }
  return false;
}

Result<std::optional<ProxyUrl>> ChooseProxy(const std::string& setting, const HttpTarget& target,
                                            const ProxyEnvironment& environment) {
  const std::string_view chosen = Trimmed(setting);
  if (EqualsIgnoringAsciiCase(chosen, "none")) return std::optional<ProxyUrl>();
  std::string_view text = chosen;
  if (text.empty()) {
    text = target.tls ? environment.httpsProxy : environment.httpProxy;
    if (Trimmed(text).empty() || NoProxyMatches(environment.noProxy, target.host))
      return std::optional<ProxyUrl>();
  }
  Result<ProxyUrl> proxy = ParseProxyUrl(text);
  if (!proxy) return proxy.failure();
  return std::optional<ProxyUrl>(proxy.TakeValue());
}
