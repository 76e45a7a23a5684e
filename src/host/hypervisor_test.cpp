#include "host/hypervisor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr uint32_t kBase = 0x40000000;

struct Leaf {
  uint32_t eax;
  std::string bytes;  // up to 12 signature bytes
};

// The signature a processor answering from `leaves` gives, and the leaves asked.
std::pair<std::string, std::vector<uint32_t>> Probe(const std::map<uint32_t, Leaf>& leaves) {
  std::vector<uint32_t> asked;
  const std::string signature = HypervisorSignature([&](uint32_t leaf, char out[13]) {
    asked.push_back(leaf);
    std::memset(out, 0, 13);
    const auto it = leaves.find(leaf);
    if (it == leaves.end()) return 0u;
    std::memcpy(out, it->second.bytes.data(), std::min<size_t>(12, it->second.bytes.size()));
    return it->second.eax;
  });
  return {signature, asked};
}

TEST(Hypervisor, LeavesQueriedAndSignatureKept) {
  EXPECT_EQ(Probe({}), std::make_pair(std::string(), std::vector<uint32_t>{kBase}));
  // A range above 0xFFFF (here a leaf number) queries no further leaf.
  EXPECT_EQ(Probe({{kBase, {kBase + 0x10, std::string("KVMKVMKVM\0\0\0", 12)}}}),
            std::make_pair(std::string("KVMKVMKVM"), std::vector<uint32_t>{kBase}));
  EXPECT_EQ(Probe({{kBase, {0xFF, "Microsoft Hv"}}}).second, std::vector<uint32_t>{kBase});
  // 0x250 reaches base + 0x100 and base + 0x200; the last one answers.
  EXPECT_EQ(Probe({{kBase, {0x250, "Microsoft Hv"}},
                   {kBase + 0x100, {0, "FirstLeaf"}},
                   {kBase + 0x200, {0, "SecondLeaf"}}}),
            std::make_pair(std::string("SecondLeaf"),
                           std::vector<uint32_t>{kBase, kBase + 0x100, kBase + 0x200}));
}

TEST(Hypervisor, VMwareIsCutAndAtSignBecomesHex) {
  EXPECT_EQ(Probe({{kBase, {0x10, "VMwareVMware"}}}).first, "VMware");
  EXPECT_EQ(Probe({{kBase, {0, std::string("@\x12\xab\0zz", 6)}}}).first, "4012AB00");
}

TEST(Hypervisor, RealProcessorAnswers) {
  char out[13];
  std::memset(out, 'x', sizeof out);
  Cpuid(0, out);
  EXPECT_EQ(out[12], '\0');
}

}  // namespace
