#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "agent/run.h"
#include "agent/settings_file.h"
#include "base/log.h"
#include "base/version.h"
#include "host/identity.h"

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

int Run(const std::vector<std::string>& arguments) {
  Log log;  // the default level until the settings say otherwise
  RunStart start{arguments, ReadModuleDirectory(), ProbeNetwork(), ProbeNode()};
  ReportNetworkFailures(start.network, log);

  const FoundSettings found = FindSettings(arguments, start.moduleDir, start.node.computerName);
  log.SetLevel(found.settings.logLevel);
  log.Message(found.path.empty() ? "INI not found, using default values." : "INI: " + found.path);
  return RunScan(start, found.settings, log);
}

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
    return Run(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "scanunix: %s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "scanunix: unexpected error\n");
  }
  return 0;
}
