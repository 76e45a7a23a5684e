#include "host/arm_cpu.h"

#include <gtest/gtest.h>

namespace {

TEST(ArmCpu, NamedByImplementerAndPartAsLscpuNamesThem) {
  const struct {
    const char *implementer, *part, *name;
  } cases[] = {
      // ARM parts written in lower case: the real boards in hardware_test.cpp.
      {"0x41", "0xD08", "ARM Cortex-A72"},  {"0xc0", "0xac4", "Ampere Ampere-1a"},
      {"0x61", "0x048", "Apple 0x048"},     {"0x99", "0x001", "0x99 0x001"},
      {"0x41", "", "ARM"},                  {"", "0xd0c", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ArmProcessorName(c.implementer, c.part), c.name) << c.implementer << " " << c.part;
}

}  // namespace
