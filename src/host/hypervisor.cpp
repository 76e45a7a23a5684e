#include "host/hypervisor.h"

#include <cstdio>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "base/hex.h"

uint32_t Cpuid([[maybe_unused]] uint32_t leaf, char out[13]) {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
#if defined(__x86_64__) || defined(__i386__)
  __cpuid(leaf, eax, ebx, ecx, edx);
#endif
  std::memcpy(out, &ebx, 4);
  std::memcpy(out + 4, &ecx, 4);
  std::memcpy(out + 8, &edx, 4);
  out[12] = '\0';
  return eax;
}

std::string HypervisorSignature(const CpuidQuery& query) {
  // Without the hypervisor-present bit (leaf 1, ECX bit 31) the leaves from
  // kBase up answer with whatever a physical processor keeps there.
  char raw[13] = {};
  query(1, raw);
  uint32_t features = 0;
  std::memcpy(&features, raw + 4, sizeof features);
  if ((features & (1u << 31)) == 0) return {};

  constexpr uint32_t kBase = 0x40000000;
  std::memset(raw, 0, sizeof raw);
  const uint32_t range = query(kBase, raw);
  if (range >= 4 && range <= 0xFFFF) {
    for (uint32_t leaf = kBase + 0x100; leaf <= kBase + range; leaf += 0x100) {
      std::memset(raw, 0, sizeof raw);
      query(leaf, raw);
    }
  }
  std::string signature(raw);  // up to the first zero byte
  if (signature.find("VMware") != std::string::npos) signature.resize(6);
  if (!signature.empty() && signature[0] == '@') {
    signature = HexText(reinterpret_cast<const unsigned char*>(raw), 4);
  }
  return signature;
}

// The hypervisor leaves exist only on x86; elsewhere Virtual stays empty, as on bare metal.
std::string ProbeHypervisor() {
#if defined(__x86_64__) || defined(__i386__)
  return HypervisorSignature(Cpuid);
#else
  return {};
#endif
}
