#include "host/arm_cpu.h"

#include <gtest/gtest.h>

namespace {

TEST(ArmCpu, NamedByImplementerAndPartAsLscpuNamesThem) {
  const struct {
    const char *implementer, *part, *name;
  } cases[] = {
      {"0x41", "0xd03", "ARM Cortex-A53"},   {"0x41", "0xd0b", "ARM Cortex-A76"},
      {"0x41", "0xd49", "ARM Neoverse-N2"},  {"0x41", "0xd4f", "ARM Neoverse-V2"},  // Graviton 4
      {"0x41", "0xD08", "ARM Cortex-A72"},   // Graviton 1
      {"0xc0", "0xac3", "Ampere Ampere-1"},  {"0xc0", "0xac4", "Ampere Ampere-1a"},
      {"0x61", "0x023", "Apple Firestorm-M1"}, {"0x61", "0x048", "Apple 0x048"},
      {"0x42", "0x100", "Broadcom 0x100"},   {"0x99", "0x001", "0x99 0x001"},
      {"0x41", "", "ARM"},                   {"", "0xd0c", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ArmProcessorName(c.implementer, c.part), c.name) << c.implementer << " " << c.part;
}

}  // namespace
