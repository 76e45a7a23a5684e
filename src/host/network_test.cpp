#include "host/network.h"

#include <gtest/gtest.h>
#include <net/if.h>

#include "host/address_interfaces.h"
#include "temp_dir.h"

namespace {

std::string Route(const std::string& iface, const std::string& destination,
                  const std::string& flags, const std::string& metric, const std::string& mask) {
  return iface + "\t" + destination + "\t010200C0\t" + flags + "\t0\t0\t" + metric + "\t" + mask +
         "\t0\t0\t0                                                                            \n";
}

TEST(Network, DefaultRouteInterface) {
  const std::string header =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT  \n";
  const std::string local = Route("eth0", "000200C0", "0001", "0", "00FFFFFF");
  const std::pair<std::string, std::string> cases[] = {  // the table, its interface
      {header + local, ""},
      {header + Route("enp3s0", "00000000", "0003", "100", "00000000") + local, "enp3s0"},
      // The lowest metric wins, then the first line.
      {header + Route("wlp2s0", "00000000", "0003", "600", "00000000") +
           Route("eno1", "00000000", "0003", "100", "00000000") +
           Route("eno2", "00000000", "0003", "100", "00000000"),
       "eno1"},
      // A route that is down, half of the address space, broken lines.
      {header + Route("ens5", "00000000", "0002", "0", "00000000") +
           Route("tun0", "00000000", "0003", "0", "00000080") + "ens6\t00000000\tzz\n" +
           Route("ens7", "0000000G", "0003", "0", "00000000"),
       ""},
      {header + "ens192 00000000 FE01A8C0 0003 0 0 0 00000000 0 0 0", "ens192"},
  };
  for (const auto& [table, interface] : cases)
    EXPECT_EQ(DefaultRouteInterface(table), interface) << table;
}

// Ports in a sysfs tree: bonding and bridges make <port>/master a link to
// the master's directory.
TEST(Network, AddressFromTheChosenInterfaceItsMasterThenTheRoute) {
  scanunix_test::TempDir net;
  for (const auto& [port, master] :
       {std::pair{"eth1", "br0"}, {"eth2", ""}, {"eth3", "ovs-system"}}) {
    net.Dir(port);
    if (*master) std::filesystem::create_symlink("../../virtual/net/" + std::string(master),
                                                 net / (std::string(port) + "/master"));
  }
  const std::string header = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n";
  const auto via = [&](const std::string& iface) {
    return header + Route(iface, "00000000", "0003", "0", "00000000");
  };
  const struct {
    std::string chosen, routes;
    std::vector<std::string> interfaces;
  } cases[] = {
      {"eth1", via("ens5"), {"eth1", "br0", "ens5"}},  // a bridge or bond port
      {"eth2", via("ens5"), {"eth2", "ens5"}},  // an unused port beside the one that routes
      {"eth3", header, {"eth3", "ovs-system"}},  // IPv6 only: no IPv4 route
      {"ens5", via("ens5"), {"ens5"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AddressInterfaces(c.chosen, net.path(), DefaultRouteInterface(c.routes)),
              c.interfaces)
        << c.chosen;
}

TEST(Network, FirstUpInterfaceAndMac) {
  const std::array<unsigned char, 6> mac{0x00, 0x0c, 0x29, 0xa1, 0xb2, 0xc3}, none{};
  const InterfaceInfo lo{"lo", 1, IFF_UP | IFF_LOOPBACK, none}, down{"eno1", 2, 0, mac},
      tunnel{"wg0", 3, IFF_UP, none}, ens{"ens5", 4, IFF_UP | IFF_RUNNING, mac},
      enp{"enp3s0", 5, IFF_UP, mac};
  EXPECT_EQ(FirstUpInterface({lo, down, tunnel}), "");
  EXPECT_EQ(FirstUpInterface({lo, down, tunnel, enp}), "enp3s0");
  EXPECT_EQ(FirstUpInterface({enp, lo, ens}), "ens5");  // the lowest number, not the first listed
  EXPECT_EQ(FormatMac(mac.data()), "000C29A1B2C3");
}

}  // namespace
