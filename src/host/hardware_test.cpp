#include "host/hardware.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace {

// `entries` processor entries; the last one says `lastCores` cores.
std::string CpuInfo(int entries, const std::string& lastCores = "2") {
  std::string text;
  for (int i = 0; i < entries; ++i)
    text += "processor\t: " + std::to_string(i) +
            "\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n"
            "cpu MHz\t\t: 2199.998\ncpu cores\t: " + (i + 1 < entries ? "2" : lastCores) +
            "\nflags\t\t: fpu vme " + std::string(400, 'f') + " hypervisor\n\n";
  return text;
}

TEST(CpuInfo, CountsEveryEntryAndTakesTheLastValues) {
  const std::string xeon = "Intel(R) Xeon(R) CPU @ 2.20GHz";
  const std::string full = CpuInfo(100);
  const struct {
    std::string text;
    bool cut;  // at the read limit: the broken last line is skipped
    std::string count, cores, type;  // count of entries, not of numbers
  } cases[] = {
      {CpuInfo(64, "32"), false, "64", "32", xeon},
      {full.substr(0, full.rfind("model name") + 20), true, "100", "2", xeon},
      {full.substr(0, full.rfind("processor") + 12), true, "99", "2", xeon},
      {"processor\t: 0\nBogoMIPS\t: 48.00\n\nprocessor\t: 3\n", false, "2", "", ""},
      {"", false, "0", "", ""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    const CpuFacts facts = ParseCpuInfo(cases[i].text, cases[i].cut);
    EXPECT_EQ(facts.count, cases[i].count);
    EXPECT_EQ(facts.cores, cases[i].cores);
    EXPECT_EQ(facts.type, cases[i].type);
    EXPECT_EQ(facts.mhz, cases[i].type.empty() ? "" : "2199.998");
  }
}

// 64-bit ARM: real cpuinfo texts over sysfs trees with `cpus` processors
// spread evenly over `packages`, cpu0's highest speed `maxKhz` when given.
TEST(CpuInfo, ArmFactsFromImplementerPartAndSysfs) {
  const struct {
    std::string cpuinfo;  // a file of tests/data/cpuinfo, or the text itself
    int cpus, packages;
    std::string maxKhz;
    std::string type, mhz, cores, count;
  } cases[] = {
      {"graviton2_neoverse_n1", 4, 1, "", "ARM Neoverse-N1", "", "4", "4"},
      {"graviton3_neoverse_v1", 8, 1, "", "ARM Neoverse-V1", "", "8", "8"},
      {"raspberry_pi4_cortex_a72", 4, 1, "1800000", "ARM Cortex-A72", "1800", "4", "4"},
      {"ampere_altra_2x80", 160, 2, "3000000\n", "ARM Neoverse-N1", "3000", "80", "160"},
      // No topology: the cores are the entries.
      {"raspberry_pi4_cortex_a72", 0, 1, "", "ARM Cortex-A72", "", "4", "4"},
      // x86 names its model: sysfs is not read.
      {CpuInfo(4), 8, 1, "3500000", "Intel(R) Xeon(R) CPU @ 2.20GHz", "2199.998", "2", "4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cpuinfo.substr(0, 40) + " " + std::to_string(c.cpus));
    scanunix_test::TempDir sys;
    sys.Dir("cpufreq/policy0");
    for (int i = 0; i < c.cpus; ++i) {
      const std::string cpu = "cpu" + std::to_string(i) + "/topology/";
      sys.Write(cpu + "physical_package_id", std::to_string(i * c.packages / c.cpus) + "\n");
      sys.Write(cpu + "core_id", std::to_string(i % (c.cpus / c.packages)) + "\n");
    }
    if (!c.maxKhz.empty()) sys.Write("cpu0/cpufreq/cpuinfo_max_freq", c.maxKhz);
    const bool sample = c.cpuinfo.find('\n') == std::string::npos;
    const std::string path = sample ? SCANUNIX_TEST_DATA "/cpuinfo/" + c.cpuinfo
                                    : sys.Write("cpuinfo", c.cpuinfo).string();
    const CpuFacts facts = ProbeCpu(path, sys.path());
    EXPECT_EQ(facts.type, c.type);
    EXPECT_EQ(facts.mhz, c.mhz);
    EXPECT_EQ(facts.cores, c.cores);
    EXPECT_EQ(facts.count, c.count);
  }
}

TEST(MemInfo, RoundsUpInThousandsOfKilobytes) {
  const std::pair<const char*, const char*> cases[] = {
      {"MemTotal:            999 kB\n", "1"}, {"MemTotal:           2000 kB\nMemFree: 1 kB\n", "3"},
      {"MemTotal: 8589934592 kB\n", "8589935"},  // beyond int
      {"MemFree: 5 kB\n", ""}};
  for (const auto& [text, total] : cases) EXPECT_EQ(ParseMemTotal(text), total) << text;
}

}  // namespace
