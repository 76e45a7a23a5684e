// The network identity of the SystemInfo element and the scan file's name:
// the MAC and IPv4 address of one interface, chosen in a fixed order.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"

// Twelve upper-case hex digits of a six-byte hardware address.
std::string FormatMac(const unsigned char* bytes);

// The interface of the default IPv4 route in the text of /proc/net/route
// (destination and mask zero, route up); the lowest metric wins, then the
// first line. Empty when there is none.
std::string DefaultRouteInterface(std::string_view routeTable);

struct InterfaceInfo {
  std::string name;
  unsigned index = 0;
  unsigned flags = 0;  // IFF_ flags
  std::array<unsigned char, 6> hardwareAddress{};
};

// True when the six bytes are not all zero.
bool HasHardwareAddress(const std::array<unsigned char, 6>& address);

// The lowest-numbered interface that is up, is not loopback and has a
// hardware address; empty when none is.
std::string FirstUpInterface(const std::vector<InterfaceInfo>& interfaces);

struct NetworkIdentity {
  std::string mac;
  std::string ip;
  Status macProbe;  // failed when no interface gave a hardware address
  Status ipProbe;   // failed when no interface, or the one chosen, gave no IPv4 address
};

// The first interface of: eth0, ens33, ens32 (whichever has a hardware
// address), the interface of the default IPv4 route, the first that
// FirstUpInterface finds. Its MAC and IPv4 address.
NetworkIdentity ProbeNetwork();
