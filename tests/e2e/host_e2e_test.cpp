// The host's facts in the built agent: processors, disk and network taken
// from a host made to look different in private mount and network namespaces.
#include <gtest/gtest.h>

#include <optional>

#include "agent_runner.h"

namespace e2e {
namespace {

// Runs the agent with quiet `settings` after the shell lines `setup`, in the
// new namespaces `flags` asks unshare for; nothing when the setup failed.
std::optional<AgentResult> RunIsolated(const std::string& flags, const std::string& setup,
                                       const TempDir& out, const std::string& settings) {
  out.Write("s.ini", QuietSettings(out.path(), settings));
  AgentResult r = e2e::Run("/usr/bin/unshare",
                           {flags, "/bin/sh", "-ec", setup + "\nexec \"$0\" \"$@\"",
                            AgentPath().string(), (out / "s.ini").string()});
  if (r.exitStatus != 0) return std::nullopt;
  return r;
}

// A 64-bit ARM server: its cpuinfo, a sysfs processor tree of two packages
// and an NVMe disk laid over this host's.
TEST(HostE2E, ProcessorsAndFirstDiskOfAnArmServer) {
  TempDir fake, out;
  const std::string nvme = "devices/pci0000:00/0000:00:04.0/nvme/nvme0/nvme0n1";
  fake.Write(nvme + "/size", "8589934592\n");  // 4 TiB
  fake.Write(nvme + "/removable", "0\n");
  fake.Write(nvme + "/device/model", "Samsung SSD 990 PRO 4TB \n");
  // /sys/block holds links into the fake tree; /dev/sda, where there is one,
  // answers no identity request.
  const std::string server =
      "[ ! -e /dev/sda ] || mount --bind /dev/null /dev/sda\nmount --bind " SCANUNIX_TEST_DATA
      "/cpuinfo/raspberry_pi4_cortex_a72 /proc/cpuinfo\nmount -t tmpfs tmpfs /sys/block\n"
      "mount -t tmpfs tmpfs /sys/devices/system/cpu\ncd /sys/devices/system/cpu\n"
      "for i in 0 1 2 3; do mkdir -p cpu$i/topology cpu0/cpufreq; cd cpu$i/topology\n"
      "echo $((i / 2)) >physical_package_id; echo $((i % 2)) >core_id; cd ../..; done\n"
      "echo 1800000 >cpu0/cpufreq/cpuinfo_max_freq\ncd /\n";
  const auto r = RunIsolated("-m", server + "ln -s " + (fake / nvme).string() + " /sys/block/", out,
                             "Log=-1");
  if (!r) GTEST_SKIP() << "cannot bind-mount over /proc and /sys here";
  const std::string doc = ReadFile(FindScanFile(out.path()));
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"ProcessorType", "ARM Cortex-A72"}, {"ProcessorFrequency", "1800"},
           {"PhysicalCpuCount", "4"}, {"LogicalCpuCount", "2"},
           {"Model", "Samsung SSD 990 PRO 4TB"}, {"Size", "8589934592"}})
    EXPECT_EQ(AttributeValue(doc, name), value) << name;
  EXPECT_EQ(r->out, "\nFinished, saved to: " + FindScanFile(out.path()).string() + "\n");
  // No disk at all: said at Log=1, never at -1.
  for (const std::string level : {"Log=1", "Log=-1"}) {
    TempDir none;
    const auto bare = RunIsolated("-m", server, none, level);
    ASSERT_TRUE(bare);
    EXPECT_EQ(ReadFile(FindScanFile(none.path())).find("<Harddisks>"), std::string::npos);
    EXPECT_EQ(bare->out.find("ERROR: Cannot open device /dev/sda\n") != std::string::npos ||
                  bare->err.find("HDD ioctl error: ") != std::string::npos,
              level == "Log=1") << bare->out << bare->err;
  }
}

TEST(HostE2E, NetworkIdentityOfTodaysInterfaceNamesBridgesAndIpv6) {
  // A veth pair: ens5 gets the lower interface number, enp3s0 the other.
  const std::string pair =
      "ip link add enp3s0 type veth peer name ens5\n"
      "ip link set ens5 address 02:00:00:00:00:05 up\nip addr add 10.1.1.5/24 dev ens5\n"
      "ip link set enp3s0 address 02:00:00:00:03:00 up\nip addr add 10.9.8.7/24 dev enp3s0\n";
  // eth0, always the one that names the host, and a peer that is up.
  const std::string eth0 = "ip link add eth0 type veth peer name peer0\nip link set peer0 up\n"
                           "ip link set eth0 address 02:00:00:00:00:e0\n";
  TempDir etc;
  const std::string hosts = etc.Write("hosts", "127.0.0.1\tlocalhost\n::1\tlocalhost\n"
                                               "2001:db8::5\tweb01.corp.example web01\n").string();
  const struct {
    std::string setup, mac, ip;
    std::string domain = "(any)";
  } cases[] = {
      // The default route's interface.
      {pair + "ip route add default via 10.9.8.1 dev enp3s0\n", "020000000300", "10.9.8.7"},
      {pair, "020000000005", "10.1.1.5"},          // else the lowest-numbered one that is up
      {"true", "", ""},                            // nothing but a loopback
      // eth0 first, as ever, even when down; the address of the interface that routes.
      {eth0 + "ip addr add 10.1.1.5/24 dev peer0\nip route add default via 10.1.1.1 dev peer0\n",
       "0200000000E0", "10.1.1.5"},
      {eth0 + "ip link add br0 type bridge\nip link set eth0 master br0 up\nip link set br0 up\n"
              "ip addr add 10.3.0.5/24 dev br0\nmount -t sysfs sysfs /sys\n",
       "0200000000E0", "10.3.0.5"},
      // IPv6 only: no IPv4 address anywhere, the domain from the IPv6 name.
      {eth0 + "ip link set eth0 up\nip addr add 2001:db8::5/64 dev eth0 nodad\nhostname web01\n"
              "mount --bind " + hosts + " /etc/hosts\n",
       "0200000000E0", "", "corp.example"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup);
    TempDir out;
    const auto r = RunIsolated("-mnu", c.setup, out, "");
    if (!r) GTEST_SKIP() << "cannot make network namespaces, veth pairs and bridges here";
    const fs::path scan = FindScanFile(out.path());
    const std::string doc = ReadFile(scan);
    EXPECT_EQ(scan.filename().string(), AttributeValue(doc, "ComputerName") +
                                            (c.mac.empty() ? "" : "_" + c.mac) + ".scn");
    EXPECT_EQ(AttributeValue(doc, "MACAddress"), c.mac);
    EXPECT_EQ(AttributeValue(doc, "IPAddress"), c.ip);
    if (c.domain != "(any)") {
      EXPECT_EQ(AttributeValue(doc, "DomainName"), c.domain);
    }
    EXPECT_EQ(r->err.find("ioctl 1"), c.mac.empty() ? 0 : std::string::npos) << r->err;
    EXPECT_EQ(r->err.find("ioctl 2") != std::string::npos, c.ip.empty()) << r->err;
  }
}

}  // namespace
}  // namespace e2e
