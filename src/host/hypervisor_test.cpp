#include "host/hypervisor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <vector>

namespace {

constexpr uint32_t kBase = 0x40000000;

using Leaf = std::pair<uint32_t, std::string>;  // EAX, and up to 12 signature bytes

// The signature a processor answering from `leaves` gives, and the leaves
// asked; `present` sets the hypervisor bit of leaf 1.
std::pair<std::string, std::vector<uint32_t>> Probe(const std::map<uint32_t, Leaf>& leaves,
                                                    bool present = true) {
  std::vector<uint32_t> asked;
  const std::string signature = HypervisorSignature([&](uint32_t leaf, char out[13]) {
    asked.push_back(leaf);
    std::memset(out, 0, 13);
    if (leaf == 1) {
      out[7] = present ? '\x80' : '\x7f';  // ECX bits 24-31
      return 0x000806F8u;
    }
    const auto it = leaves.find(leaf);
    if (it == leaves.end()) return 0u;
    const auto& [eax, bytes] = it->second;
    std::memcpy(out, bytes.data(), std::min<size_t>(12, bytes.size()));
    return eax;
  });
  return {signature, asked};
}

TEST(Hypervisor, LeavesQueriedAndSignatureKept) {
  const Leaf kvm{kBase + 0x10, std::string("KVMKVMKVM\0\0\0", 12)};
  // A physical processor: whatever its leaves hold, none of them is asked.
  EXPECT_EQ(Probe({{kBase, kvm}}, false), std::make_pair(std::string(), std::vector<uint32_t>{1}));
  // A range above 0xFFFF (here a leaf number) queries no further leaf.
  EXPECT_EQ(Probe({{kBase, kvm}}),
            std::make_pair(std::string("KVMKVMKVM"), std::vector<uint32_t>{1, kBase}));
  // 0x250 reaches base + 0x100 and base + 0x200; the last one answers.
  EXPECT_EQ(Probe({{kBase, {0x250, "Microsoft Hv"}},
                   {kBase + 0x100, {0, "FirstLeaf"}},
                   {kBase + 0x200, {0, "SecondLeaf"}}}),
            std::make_pair(std::string("SecondLeaf"),
                           std::vector<uint32_t>{1, kBase, kBase + 0x100, kBase + 0x200}));
  // VMware's signature is cut; one that starts with "@" is written in hex.
  EXPECT_EQ(Probe({{kBase, {0x10, "VMwareVMware"}}}).first, "VMware");
  EXPECT_EQ(Probe({{kBase, {0, std::string("@\x12\xab\0zz", 6)}}}).first, "4012AB00");
}

// This processor names a hypervisor exactly when the kernel saw one.
TEST(Hypervisor, RealProcessorAnswers) {
#if defined(__x86_64__) || defined(__i386__)
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line) && !line.starts_with("flags")) {}
  ASSERT_TRUE(line.starts_with("flags")) << "no flags line in /proc/cpuinfo";
  EXPECT_EQ(!ProbeHypervisor().empty(), (line + ' ').find(" hypervisor ") != std::string::npos);
#endif
}

}  // namespace
