// The upload address setting split into where the request goes.
#pragma once

#include <string>

struct HttpTarget {
  std::string host;  // name, dotted address or bracketed IPv6 literal, without scheme, port or path
  std::string path;  // begins and ends with "/" (empty for an empty address)
  int port = 80;
  bool tls = false;  // the address asked for https://
};

// Splits an address such as http://host:81/inv into host, path ("/inv/")
// and port; backslashes count as slashes. https:// means port 443 and TLS.
// A host in brackets ("[2001:db8::1]") keeps them, as the Host header does.
HttpTarget ParseHttpAddress(const std::string& address);

// The host as a name to resolve: a bracketed literal without its brackets.
std::string UnbracketedHost(const std::string& host);
