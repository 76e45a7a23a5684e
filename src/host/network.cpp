#include "host/network.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <utility>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include "base/hex.h"
#include "base/read_file.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "host/address_interfaces.h"

namespace {

// The whitespace-separated fields of `line`.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while ((at = line.find_first_not_of(" \t", at)) != std::string_view::npos) {
    const size_t end = std::min(line.find_first_of(" \t", at), line.size());
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

template <typename Number>
std::optional<Number> Parse(std::string_view text, int base) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

ifreq RequestFor(const std::string& name) {
  ifreq request{};
  std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
  return request;
}

// The hardware address of `name`; errno is set when the kernel has none.
std::optional<std::array<unsigned char, 6>> HardwareAddress(int sock, const std::string& name) {
  ifreq request = RequestFor(name);
  if (::ioctl(sock, SIOCGIFHWADDR, &request) != 0) return std::nullopt;
  std::array<unsigned char, 6> address;
  std::memcpy(address.data(), request.ifr_hwaddr.sa_data, address.size());
  return address;
}

std::vector<InterfaceInfo> ListInterfaces(int sock) {
  std::vector<InterfaceInfo> interfaces;
  using NameIndex = struct if_nameindex;
  const std::unique_ptr<NameIndex, decltype(&if_freenameindex)> list(::if_nameindex(),
                                                                     if_freenameindex);
  for (const NameIndex* it = list.get(); it && it->if_index != 0; ++it) {
    InterfaceInfo info{it->if_name, it->if_index, 0, {}};
    ifreq request = RequestFor(info.name);
    if (::ioctl(sock, SIOCGIFFLAGS, &request) == 0)
      info.flags = static_cast<unsigned short>(request.ifr_flags);
    if (auto address = HardwareAddress(sock, info.name)) info.hardwareAddress = *address;
    interfaces.push_back(std::move(info));
  }
  return interfaces;
}

// The text of /proc/net/route without a broken last line; empty when unread.
std::string RouteTable() {
  constexpr size_t kRouteTableLimit = 1024 * 1024;
  const auto table = ReadFileUpTo("/proc/net/route", kRouteTableLimit);
  if (!table) return {};
  return table->cut ? table->text.substr(0, table->text.rfind('\n') + 1) : table->text;
}

// The interface chosen by ProbeNetwork's order, or empty with errno of the
// first step's last failure in `error`.
std::string ChooseInterface(int sock, std::string_view routeTable, int& error) {
  for (const char* name : {"eth0", "ens33", "ens32"}) {
    if (HardwareAddress(sock, name)) return name;
    error = errno;
  }
  const std::string name = DefaultRouteInterface(routeTable);
  const auto address = name.empty() ? std::nullopt : HardwareAddress(sock, name);
  // A tunnel carrying the route has no hardware address to name the host by.
  if (address && HasHardwareAddress(*address)) return name;
  return FirstUpInterface(ListInterfaces(sock));
}

// The IPv4 address of `name`; errno is set when it has none.
std::optional<std::string> Ipv4Address(int sock, const std::string& name) {
  ifreq request = RequestFor(name);
  if (::ioctl(sock, SIOCGIFADDR, &request) != 0) return std::nullopt;
  char text[INET_ADDRSTRLEN] = {};
  const auto* addr = reinterpret_cast<const sockaddr_in*>(&request.ifr_addr);
  if (!::inet_ntop(AF_INET, &addr->sin_addr, text, sizeof text)) return std::nullopt;
  return text;
}

}  // namespace

std::string FormatMac(const unsigned char* bytes) {
  return HexText(bytes, 6);
}

std::string DefaultRouteInterface(std::string_view routeTable) {
  constexpr unsigned kRouteUp = 0x1;  // RTF_UP
  std::string best;
  unsigned long bestMetric = std::numeric_limits<unsigned long>::max();
  bool header = true;
  LineSplitter lines(routeTable, LastLine::kKept, CarriageReturns::kKept);
  for (std::string_view line; lines.Next(line);) {
    const std::vector<std::string_view> f = Fields(line);
    if (std::exchange(header, false) || f.size() < 8) continue;
    // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
    const auto destination = Parse<uint32_t>(f[1], 16), mask = Parse<uint32_t>(f[7], 16);
    const auto flags = Parse<unsigned>(f[3], 16);
    const auto metric = Parse<unsigned long>(f[6], 10);
    if (destination != 0u || mask != 0u || !flags || (*flags & kRouteUp) == 0 || !metric) continue;
    if (best.empty() || *metric < bestMetric) {
      best = std::string(f[0]);
      bestMetric = *metric;
    }
  }
  return best;
}

bool HasHardwareAddress(const std::array<unsigned char, 6>& address) {
  return std::any_of(address.begin(), address.end(), [](unsigned char b) { return b != 0; });
}

std::string FirstUpInterface(const std::vector<InterfaceInfo>& interfaces) {
  const InterfaceInfo* first = nullptr;
  for (const InterfaceInfo& info : interfaces) {
    const bool usable = (info.flags & IFF_UP) != 0 && (info.flags & IFF_LOOPBACK) == 0 &&
                        HasHardwareAddress(info.hardwareAddress);
    if (usable && (!first || info.index < first->index)) first = &info;
  }
  return first ? first->name : std::string();
}

NetworkIdentity ProbeNetwork() {
  NetworkIdentity id;
  UniqueFd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  int error = ENODEV;
  const std::string routeTable = RouteTable();
  const std::string name = ChooseInterface(sock.Get(), routeTable, error);
  const auto address = name.empty() ? std::nullopt : HardwareAddress(sock.Get(), name);
  if (!address) {
    id.macProbe = ErrnoFailure("ioctl 1", error);
    id.ipProbe = ErrnoFailure("ioctl 2", error);
    return id;
  }
  id.mac = FormatMac(address->data());
  // The chosen interface's own address, else its master's or the routing
  // one's; the failure is the chosen interface's.
  int ipError = 0;
  const std::string routeInterface = DefaultRouteInterface(routeTable);
  for (const std::string& source : AddressInterfaces(name, "/sys/class/net", routeInterface)) {
    if (auto ip = Ipv4Address(sock.Get(), source)) {
      id.ip = std::move(*ip);
      ipError = 0;
      break;
    }
    if (ipError == 0) ipError = errno != 0 ? errno : EADDRNOTAVAIL;
  }
  if (id.ip.empty()) id.ipProbe = ErrnoFailure("ioctl 2", ipError != 0 ? ipError : EADDRNOTAVAIL);
  return id;
}
