#include <cstdio>
#include <cstring>
#include <exception>

#include "scan/run.h"
#include "scan/version.h"

namespace {

constexpr char kUsage[] =
    "Usage: scanunix [settings.ini] [directory]\n"
    "\n"
    "Makes one inventory of this host and writes it as an XML scan file\n"
    "(uploaded when the settings say so). A first argument ending in .ini names\n"
    "the settings file; the directory to scan is the other argument, else /.\n"
    "Without a settings argument the agent tries <its directory>/<computer name>,\n"
    "then <its directory>/scanunix.ini, then built-in defaults.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "See scanunix(8) and scanunix.ini(5).\n";

}  // namespace

int main(int argc, char** argv) {
  // Only these exact single arguments are options; anything else is a
  // settings file or a directory to scan.
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("scanunix %s\n", kScanunixVersion);
    return 0;
  }
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
