// Splitting the upload address setting into host, path and port.
#pragma once

#include <string>

// True when the address asks for TLS (it holds "https://").
bool AddressWantsTls(const std::string& address);
