#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "agent/run.h"
#include "agent/settings_file.h"
#include "base/log.h"
#include "base/stop_signals.h"
#include "base/version.h"
#include "host/identity.h"
#include "host/network.h"

namespace {

constexpr char kUsage[] =
    "Usage: scanunix [settings.ini] [directory]\n"
    "\n"
    "Makes one inventory of this host and writes it as an XML scan file\n"
    "(uploaded when the settings say so). A first argument ending in .ini names\n"
    "the settings file; the directory to scan is the other argument, else /.\n"
    "Without a settings argument the agent tries <its directory>/<computer name>,\n"
    "then <its directory>/scanunix.ini, then /etc/scanunix/scanunix.ini, then\n"
    "built-in defaults.\n"
    "\n"
    "Exit status: 0 the scan file was saved (and uploaded when asked), 1 no scan\n"
    "file was saved, 2 it was saved but the upload failed.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "See scanunix(8) and scanunix.ini(5).\n";

int Run(const std::vector<std::string>& arguments, const StopSignals& stop) {
  // The default level until the settings say otherwise.
  Log log(Log::kDisplay, std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1);
  RunStart start{arguments, ReadModuleDirectory(), ProbeNetwork(), ProbeNode()};
  ReportNetworkFailures(start.network, log);

  const FoundSettings found = FindSettings(arguments, start.moduleDir, start.node.computerName);
  log.SetLevel(found.settings.logLevel);
  log.Message(found.path.empty() ? "INI not found, using default values." : "INI: " + found.path);
  return RunScan(start, found.settings, log, stop);
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
  // A peer that goes away (a server, a package command) must never end the run.
  std::signal(SIGPIPE, SIG_IGN);
  // Whatever happens, the run ends with its status and says why.
  const StopSignals stop;
  std::string why = "unexpected error";
  int status = kNotSaved;
  try {
    status = Run(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), stop);
    why.clear();
  } catch (const std::exception& error) {
    why = error.what();
  } catch (...) {
  }
  if (!why.empty()) {
    std::fprintf(stderr, "scanunix: %s\n", why.c_str());
    std::printf("\nFailed, no scan file saved: %s\n", why.c_str());
  }
  // Stopped: the parent sees the signal, as if it had not been caught.
  if (stop.Stopped()) {
    std::cout.flush();
    std::fflush(nullptr);
    EndBySignal(stop.Received());
  }
  return status;
}
