#include "host/hardware.h"

#include <gtest/gtest.h>

namespace {

std::string CpuBlock(int n, const std::string& cores = "2") {
  return "processor\t: " + std::to_string(n) +
         "\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n"
         "cpu MHz\t\t: 2199.998\ncpu cores\t: " + cores + "\nflags\t\t: fpu vme " +
         std::string(400, 'f') + " hypervisor\n\n";
}

std::string CpuInfo(int entries, const std::string& lastCores = "2") {
  std::string text;
  for (int i = 0; i + 1 < entries; ++i) text += CpuBlock(i);
  return text + CpuBlock(entries - 1, lastCores);
}

TEST(CpuInfo, CountsEveryEntryAndTakesTheLastValues) {
  const std::string xeon = "Intel(R) Xeon(R) CPU @ 2.20GHz";
  const std::string full = CpuInfo(100);
  const std::string cutInName = full.substr(0, full.rfind("model name") + 20);
  const struct {
    std::string text;
    bool cut;  // at the read limit: the broken last line is skipped
    std::string count, cores, type;
  } cases[] = {
      {CpuInfo(4, "8"), false, "4", "8", xeon},
      {CpuInfo(64, "32"), false, "64", "32", xeon},
      {CpuInfo(256, "64"), false, "256", "64", xeon},
      {CpuBlock(0) + CpuBlock(1) + CpuBlock(3), false, "3", "2", xeon},
      {cutInName, true, "100", "2", xeon},
      {full.substr(0, full.rfind("processor") + 12), true, "99", "2", xeon},
      {"processor\t: 0\nBogoMIPS\t: 48.00\n", false, "1", "", ""},
      {"", false, "0", "", ""},
  };
  for (const auto& c : cases) {
    const CpuFacts facts = ParseCpuInfo(c.text, c.cut);
    EXPECT_EQ(facts.count + "|" + facts.cores + "|" + facts.type,
              c.count + "|" + c.cores + "|" + c.type);
    EXPECT_EQ(facts.mhz, c.type.empty() ? "" : "2199.998");
  }
}

TEST(MemInfo, RoundsUpInThousandsOfKilobytes) {
  const std::pair<const char*, const char*> cases[] = {
      {"MemTotal:            999 kB\n", "1"}, {"MemTotal:           2000 kB\nMemFree: 1 kB\n", "3"},
      {"MemTotal:       16303660 kB\n", "16304"},
      {"MemTotal: 8589934592 kB\n", "8589935"},  // beyond int
      {"MemFree: 5 kB\n", ""}};
  for (const auto& [text, total] : cases) EXPECT_EQ(ParseMemTotal(text), total) << text;
}

}  // namespace
