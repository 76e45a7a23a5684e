// The published Blowfish initial P-array and S-boxes.
#pragma once

#include <array>
#include <cstdint>

extern const std::array<uint32_t, 18> kBlowfishP;
extern const std::array<uint32_t, 1024> kBlowfishS;  // the four boxes one after the other
