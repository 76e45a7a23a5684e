#include <cstdio>
#include <exception>

#include "scan/run.h"

int main(int argc, char** argv) {
  // A timer runs the agent on every host: whatever happens, the run ends
  // with status 0 and says why on standard error.
  try {
    return RunScan(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "scanunix: %s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "scanunix: unexpected error\n");
  }
  return 0;
}
