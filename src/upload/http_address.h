// The upload address setting split into where the request goes.
#pragma once

#include <string>

struct HttpTarget {
  std::string host;  // name or dotted address, without scheme, port or path
  std::string path;  // begins and ends with "/" (empty for an empty address)
  int port = 80;
  bool tls = false;  // the address asked for https://
};

// Splits an address such as http://host:81/inv into host, path ("/inv/")
// and port; backslashes count as slashes. https:// means port 443 and TLS.
HttpTarget ParseHttpAddress(const std::string& address);
