// How a fuzz target states a property: a broken one ends the run as a crash,
// which libFuzzer keeps as the input that shows it.
#pragma once

#include <cstdlib>

inline void Check(bool property) {
  if (!property) std::abort();
}
