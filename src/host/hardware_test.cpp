#include "host/hardware.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string CpuBlock(int n, const char* cores = "2") {
  return "processor\t: " + std::to_string(n) +
         "\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n"
         "cpu MHz\t\t: 2199.998\ncpu cores\t: " + cores + "\n\n";
}

TEST(CpuInfo, CountsEntriesAndTakesTheLastValues) {
  std::string text;
  for (int i = 0; i < 3; ++i) text += CpuBlock(i);
  const CpuFacts facts = ParseCpuInfo(text + CpuBlock(3, "8"));
  EXPECT_EQ(facts.count, "4");
  EXPECT_EQ(facts.cores, "8");
  EXPECT_EQ(facts.type, "Intel(R) Xeon(R) CPU @ 2.20GHz");
  EXPECT_EQ(facts.mhz, "2199.998");
  const CpuFacts bare = ParseCpuInfo("processor\t: 0\nBogoMIPS\t: 48.00\n");
  EXPECT_EQ(bare.count, "1");
  EXPECT_EQ(bare.cores + bare.type + bare.mhz, "");
  EXPECT_EQ(ParseCpuInfo("").count, "0");
}

TEST(CpuInfo, TextCutAtTheLimitSkipsItsBrokenLine) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += CpuBlock(i);
  text.resize(kKernelFileLimit);
  const std::string cut = text.substr(0, text.rfind("model name") + 20);  // "model name\t: Intel(R"
  EXPECT_EQ(ParseCpuInfo(cut, true).type, "Intel(R) Xeon(R) CPU @ 2.20GHz");
  // Only the entries within the limit are counted.
  const unsigned long counted = std::stoul(ParseCpuInfo(text, true).count);
  EXPECT_GT(counted, 50u);
  EXPECT_LT(counted, 100u);
}

TEST(MemInfo, RoundsUpInThousandsOfKilobytes) {
  EXPECT_EQ(ParseMemTotal("MemTotal:            999 kB\n"), "1");
  EXPECT_EQ(ParseMemTotal("MemTotal:           2000 kB\nMemFree: 1 kB\n"), "3");
  EXPECT_EQ(ParseMemTotal("MemTotal:           1999 kB\n"), "2");
  EXPECT_EQ(ParseMemTotal("MemTotal:       16303660 kB\n"), "16304");
  EXPECT_EQ(ParseMemTotal("MemTotal: 8589934592 kB\n"), "8589935");  // beyond int
  EXPECT_EQ(ParseMemTotal("MemFree: 5 kB\n"), "");
}

std::array<unsigned char, 512> IdentityRecord(const char* model, const char* serial,
                                              uint64_t sectors) {
  std::array<unsigned char, 512> record{};
  std::memset(record.data() + 20, ' ', 20);
  std::memcpy(record.data() + 20, serial, std::strlen(serial));
  std::memset(record.data() + 54, ' ', 40);
  std::memcpy(record.data() + 54, model, std::strlen(model));
  for (int i = 0; i < 8; ++i) record[200 + i] = static_cast<unsigned char>(sectors >> (8 * i));
  return record;
}

TEST(HardDisk, IdentityFieldsKeepPaddingAndWrapTheSize) {
  DiskIdentity disk = ParseDriveIdentity(IdentityRecord("ST1000 & Co", "Z1X2", 1953525168));
  EXPECT_EQ(disk.model, "ST1000 & Co" + std::string(29, ' '));
  EXPECT_EQ(disk.serial, "Z1X2" + std::string(16, ' '));
  EXPECT_EQ(disk.sectors, 1953525168u);
  EXPECT_EQ(ParseDriveIdentity(IdentityRecord("m", "s", (1ull << 32) + 5)).sectors, 5u);
}

}  // namespace
