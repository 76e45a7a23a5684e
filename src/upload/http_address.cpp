#include "upload/http_address.h"

#include <algorithm>
#include <cctype>

namespace {

std::string WithSlashes(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

// "%u": optional white space and sign, then digits; false without digits.
bool ReadUnsigned(const std::string& text, unsigned& value) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  unsigned v = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    v = v * 10 + static_cast<unsigned>(text[i] - '0');
  value = negative ? 0u - v : v;
  return true;
}

}  // namespace

HttpTarget ParseHttpAddress(const std::string& address) {
  HttpTarget target;
  if (address.empty()) return target;
  std::string& host = target.host;
  std::string& path = target.path;
  host = WithSlashes(address);
  std::string work = host;
  if (work.back() != '/') work.push_back('/');
  if (const size_t at = work.find("http://"); at != std::string::npos)
    host = work.substr(at + 7);
  if (const size_t at = work.find("https://"); at != std::string::npos) {
    target.port = 443;
    target.tls = true;
    host = work.substr(at + 8);
  }
  if (const size_t slash = host.find('/'); slash != std::string::npos) {
    path = host.substr(slash);
    host.erase(slash);
  }
  // The port follows the closing bracket of an IPv6 literal (an unclosed
  // one has none), else the first ":".
  const size_t close = host.starts_with('[') ? host.find(']') : 0;
  const size_t colon =
      close == std::string::npos ? close : host.find(':', close == 0 ? 0 : close + 1);
  if (colon != std::string::npos) {
    unsigned value = 0;
    if (ReadUnsigned(host.substr(colon + 1), value)) target.port = static_cast<int>(value);
    host.erase(colon);
  }
  if (path.empty() || path.back() != '/') path.push_back('/');
  return target;
}

std::string UnbracketedHost(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    return host.substr(1, host.size() - 2);
  return host;
}
