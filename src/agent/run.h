// One whole inventory: every probe and scanner in its fixed order, the scan
// file moved to its final name, and the optional upload.
#pragma once

#include <string>
#include <vector>

#include "base/log.h"
#include "base/stop_signals.h"
#include "config/settings.h"
#include "host/identity.h"
#include "host/network.h"

// What the run starts from, found before the settings were read.
struct RunStart {
  std::vector<std::string> arguments;  // without the program name
  std::string moduleDir;               // the executable's directory, ending with "/"
  NetworkIdentity network;
  NodeIdentity node;
};

// The directory of this executable, ending with "/" ("./" when unknown).
std::string ReadModuleDirectory();

// Reports what the network probe could not find, as failed system calls.
void ReportNetworkFailures(const NetworkIdentity& network, Log& log);

// How a run ended, as its exit status.
enum RunOutcome : int {
  kSaved = 0,         // the scan file was saved, and uploaded when that was asked
  kNotSaved = 1,      // no scan file was saved
  kUploadFailed = 2,  // the scan file was saved, but the upload failed
};

// Runs the scan, alone in its output folder. The last line on standard
// output says how it ended. After a stop signal the caller ends the
// process by it (see EndBySignal).
RunOutcome RunScan(const RunStart& start, const Settings& settings, Log& log,
                   const StopSignals& stop);
