#include "host/hardware.h"

#include <gtest/gtest.h>

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
      {"MemTotal: 8589934592 kB\n", "8589935"},  // beyond int
      {"MemFree: 5 kB\n", ""}};
  for (const auto& [text, total] : cases) EXPECT_EQ(ParseMemTotal(text), total) << text;
}

}  // namespace
