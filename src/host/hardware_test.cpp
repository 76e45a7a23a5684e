#include "host/hardware.h"

#include <gtest/gtest.h>

namespace {

std::string CpuBlock(int n, const char* cores = "2") {
  return "processor\t: " + std::to_string(n) +
         "\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n"
         "cpu MHz\t\t: 2199.998\ncpu cores\t: " + cores +
         "\nflags\t\t: fpu vme de pse tsc msr pae mce cx8 apic sep mtrr pge mca cmov pat pse36 "
         "clflush mmx fxsr sse sse2 ss ht syscall nx pdpe1gb rdtscp lm constant_tsc rep_good nopl "
         "xtopology nonstop_tsc cpuid tsc_known_freq pni pclmulqdq ssse3 fma cx16 pcid sse4_1 "
         "sse4_2 x2apic movbe popcnt aes xsave avx f16c rdrand hypervisor lahf_lm abm 3dnowprefetch"
         "\n\n";
}

std::string CpuInfo(int entries, const char* lastCores = "2") {
  std::string text;
  for (int i = 0; i + 1 < entries; ++i) text += CpuBlock(i);
  return text + CpuBlock(entries - 1, lastCores);
}

TEST(CpuInfo, CountsEveryEntryAndTakesTheLastValues) {
  const struct {
    std::string text;
    std::string count, cores;
  } cases[] = {
      {CpuInfo(4, "8"), "4", "8"},
      {CpuInfo(64, "32"), "64", "32"},
      {CpuInfo(256, "64"), "256", "64"},
      {CpuBlock(0) + CpuBlock(1) + CpuBlock(3), "3", "2"},  // an offline processor leaves a gap
  };
  for (const auto& c : cases) {
    const CpuFacts facts = ParseCpuInfo(c.text);
    EXPECT_EQ(facts.count, c.count);
    EXPECT_EQ(facts.cores, c.cores);
    EXPECT_EQ(facts.type, "Intel(R) Xeon(R) CPU @ 2.20GHz");
    EXPECT_EQ(facts.mhz, "2199.998");
  }
  const CpuFacts bare = ParseCpuInfo("processor\t: 0\nBogoMIPS\t: 48.00\n");
  EXPECT_EQ(bare.count, "1");
  EXPECT_EQ(bare.cores + bare.type + bare.mhz, "");
  EXPECT_EQ(ParseCpuInfo("").count, "0");
}

TEST(CpuInfo, TextCutAtTheLimitSkipsItsBrokenLine) {
  const std::string text = CpuInfo(100);
  const std::string cut = text.substr(0, text.rfind("model name") + 20);  // "model name\t: Intel(R"
  EXPECT_EQ(ParseCpuInfo(cut, true).type, "Intel(R) Xeon(R) CPU @ 2.20GHz");
  EXPECT_EQ(ParseCpuInfo(cut, true).count, "100");
  EXPECT_EQ(ParseCpuInfo(text.substr(0, text.rfind("processor") + 12), true).count, "99");
  // The limit leaves room for over a thousand processors.
  EXPECT_GT(kKernelFileLimit, 1000 * CpuBlock(999).size());
}

TEST(MemInfo, RoundsUpInThousandsOfKilobytes) {
  EXPECT_EQ(ParseMemTotal("MemTotal:            999 kB\n"), "1");
  EXPECT_EQ(ParseMemTotal("MemTotal:           2000 kB\nMemFree: 1 kB\n"), "3");
  EXPECT_EQ(ParseMemTotal("MemTotal:           1999 kB\n"), "2");
  EXPECT_EQ(ParseMemTotal("MemTotal:       16303660 kB\n"), "16304");
  EXPECT_EQ(ParseMemTotal("MemTotal: 8589934592 kB\n"), "8589935");  // beyond int
  EXPECT_EQ(ParseMemTotal("MemFree: 5 kB\n"), "");
}

}  // namespace
