#include "host/arm_cpu.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(ArmCpu, NamedByImplementerAndPartAsLscpuNamesThem) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      // ARM parts written in lower case: the real boards in hardware_test.cpp.
      {"0x41", "0xD08", "ARM Cortex-A72"},  {"0xc0", "0xac4", "Ampere Ampere-1a"},
      {"0x61", "0x048", "Apple 0x048"},     {"0x99", "0x001", "0x99 0x001"},
      {"0x41", "", "ARM"},                  {"", "0xd0c", ""},
  };
  for (const auto& [implementer, part, name] : cases)
    EXPECT_EQ(ArmProcessorName(implementer, part), name) << implementer << " " << part;
}

}  // namespace
