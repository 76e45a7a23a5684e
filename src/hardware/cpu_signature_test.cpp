#include "hardware/cpu_signature.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

namespace {

// A processor that answers from a table of leaves and records the queries.
struct FakeCpu {
  struct Leaf {
    uint32_t eax;
    std::string bytes;  // up to 12 signature bytes
  };
  std::map<uint32_t, Leaf> leaves;
  std::vector<uint32_t> asked;

  CpuidQuery Query() {
    return [this](uint32_t leaf, char out[13]) -> uint32_t {
      asked.push_back(leaf);
      std::memset(out, 0, 13);
      auto it = leaves.find(leaf);
      if (it == leaves.end()) return 0;
      std::memcpy(out, it->second.bytes.data(), std::min<size_t>(12, it->second.bytes.size()));
      return it->second.eax;
    };
  }
};

constexpr uint32_t kBase = 0x40000000;

TEST(CpuSignature, NoHypervisorGivesNothing) {
  FakeCpu cpu;
  EXPECT_EQ(HypervisorSignature(cpu.Query()), "");
  EXPECT_EQ(cpu.asked, std::vector<uint32_t>{kBase});
}

TEST(CpuSignature, RangeAboveTheLimitQueriesNoFurtherLeaf) {
  FakeCpu cpu;
  cpu.leaves[kBase] = {kBase + 0x10, std::string("KVMKVMKVM\0\0\0", 12)};
  EXPECT_EQ(HypervisorSignature(cpu.Query()), "KVMKVMKVM");
  EXPECT_EQ(cpu.asked.size(), 1u);
}

TEST(CpuSignature, FurtherLeavesUpToTheRange) {
  FakeCpu cpu;
  cpu.leaves[kBase] = {0x250, "Microsoft Hv"};
  cpu.leaves[kBase + 0x100] = {0, "FirstLeaf"};
  cpu.leaves[kBase + 0x200] = {0, "SecondLeaf"};
  EXPECT_EQ(HypervisorSignature(cpu.Query()), "SecondLeaf");
  EXPECT_EQ(cpu.asked, (std::vector<uint32_t>{kBase, kBase + 0x100, kBase + 0x200}));

  FakeCpu small;
  small.leaves[kBase] = {0xFF, "Microsoft Hv"};
  EXPECT_EQ(HypervisorSignature(small.Query()), "Microsoft Hv");
  EXPECT_EQ(small.asked.size(), 1u);
}

TEST(CpuSignature, VMwareIsCutAndAtSignBecomesHex) {
  FakeCpu vmware;
  vmware.leaves[kBase] = {0x10, "VMwareVMware"};
  EXPECT_EQ(HypervisorSignature(vmware.Query()), "VMware");
  FakeCpu at;
  at.leaves[kBase] = {0, std::string("@\x12\xab\0zz", 6)};
  EXPECT_EQ(HypervisorSignature(at.Query()), "4012AB00");
}

TEST(CpuSignature, RealProcessorAnswers) {
  char out[13];
  std::memset(out, 'x', sizeof out);
  cpuid(0, out);
  EXPECT_EQ(out[12], '\0');
}

}  // namespace
