#include "agent/run.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <stdexcept>

#include "agent/element_guard.h"
#include "agent/metrics_file.h"
#include "agent/run_lock.h"
#include "agent/run_plan.h"
#include "agent/run_steps.h"
#include "agent/scan_document.h"
#include "base/document_text.h"
#include "base/output_file.h"
#include "files/file_scan.h"
#include "host/hardware.h"
#include "host/hypervisor.h"
#include "software/package_scan.h"
#include "software/shortcut_scan.h"

namespace {

constexpr char kDefaultComputerData[] = "/etc/ComputerData.xml";

FileScanOptions FileScanOptionsFrom(const FileScanSettings& settings) {
  FileScanOptions options;
  options.allFiles = settings.allFiles;
  options.crc = settings.crc;
  options.pauseMs = settings.pauseMs;
  options.ignoreValues = settings.ignoreFolders;
  options.ignoreFileSystems = settings.ignoreFileSystems;
  options.maxOpenDirs = OpenDirectoryBudget();
  return options;
}

HardwareFacts ProbeHardwareReporting(Log& log) {
  log.Progress("Scan Hardware\n");
  HardwareFacts hardware = ProbeHardware();
  // Only a machine where no disk was found at all is worth a word.
  if (!hardware.disk && log.wantsMessages() && log.level() != Log::kSilent) {
    if (hardware.diskProbe == DiskProbe::kCannotOpen)
      log.Print("ERROR: Cannot open device /dev/sda\n");
    if (hardware.diskProbe == DiskProbe::kNoIdentity)
      log.Failed(hardware.diskFailure.failure());
  }
  return hardware;
}

// Writes one element through `write`; when it fails, the element stays
// empty and the run says why.
void WriteElement(OutputFile& file, DocumentWriter& document, Log& log, std::string_view what,
                  std::string_view empty, const std::function<void()>& write) {
  if (const Status written = WriteElementGuarded(file, document, empty, write); !written)
    log.Error(std::string(what) + " left out: " + written.failure().reason);
}

// The last line, which says how the run ended; `detail` adds to it.
RunOutcome Finish(RunOutcome outcome, const std::string& scanFile, Log& log,
                  std::string_view detail = {}) {
  switch (outcome) {
    case kSaved:
      log.Print("\nFinished, saved to: " + scanFile + std::string(detail) + "\n");
      break;
    case kUploadFailed:
      log.Print("\nFinished, saved to: " + scanFile + ", upload failed\n");
      break;
    case kNotSaved:
      log.Print("\nFailed, no scan file saved: " + std::string(detail) + "\n");
      break;
  }
  return outcome;
}

// Where the scan file goes, for what waits beside it.
std::string ScanFileDirectory(const std::string& scanFile) {
  const size_t slash = scanFile.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : scanFile.substr(0, slash);
}

// What the run tells a monitor besides its outcome.
struct RunCounts {
  uint64_t files = 0;
  uint64_t packages = 0;
  std::optional<bool> uploaded;
};

RunOutcome Stopped(const StopSignals& stop, const std::string& scanFile, Log& log) {
  return Finish(kNotSaved, scanFile, log, "stopped by signal " + StopSignalName(stop.Received()));
}

RunOutcome ScanAndSave(const RunStart& start, const Settings& settings, Log& log,
                       const OutputNames& names, const StopSignals& stop, RunCounts& counts);

void WriteMetrics(const Settings& settings, int exitStatus, std::time_t startTime,
                  std::chrono::steady_clock::time_point started, const RunCounts& counts,
                  Log& log) {
  if (settings.metricsFile.empty()) return;
  RunMetrics metrics;
  metrics.exitStatus = exitStatus;
  metrics.startTime = startTime;
  metrics.durationSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  metrics.filesListed = counts.files;
  metrics.packagesListed = counts.packages;
  metrics.uploadSucceeded = counts.uploaded;
  metrics.lastSuccessTime = exitStatus == kSaved ? startTime : ReadLastSuccessTime(settings.metricsFile);
  if (const Status written = WriteMetricsFile(settings.metricsFile, FormatMetrics(metrics)); !written)
    log.SystemError(written.failure().what, written.failure().error);
}

}  // namespace

std::string ReadModuleDirectory() {
  char target[4096];
  const std::string link = "/proc/" + std::to_string(::getpid()) + "/exe";
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  return ModuleDirectoryFrom(n > 0 ? std::string_view(target, static_cast<size_t>(n))
                                   : std::string_view());
}

void ReportNetworkFailures(const NetworkIdentity& network, Log& log) {
  if (!network.macProbe) log.Failed(network.macProbe.failure());
  if (!network.ipProbe) log.Failed(network.ipProbe.failure());
}

RunOutcome RunScan(const RunStart& start, const Settings& settings, Log& log,
                   const StopSignals& stop) {
  const OutputNames names = MakeOutputNames(settings.outputFolder, start.moduleDir,
                                            start.node.computerName, start.network.mac);
  // Before anything is written: a second run writes nothing at all.
  const std::string folder = names.scanFile.substr(0, names.scanFile.rfind('/') + 1);
  const RunLockAttempt lock = TakeRunLock(folder);
  if (lock.failure) {
    log.SystemError(lock.failure->what, lock.failure->error);
    return Finish(kNotSaved, names.scanFile, log, lock.failure->Why());
  }
  if (lock.held) {
    const std::string holder = lock.holder ? " (pid " + std::to_string(*lock.holder) + ")" : "";
    return Finish(kNotSaved, names.scanFile, log, "another scan is running" + holder);
  }
  const auto started = std::chrono::steady_clock::now();
  const std::time_t startTime = std::time(nullptr);
  log.SetFile(names.logFile);
  RemoveStaleTemporaryFiles(names.scanFile);

  RunCounts counts;
  RunOutcome outcome = kNotSaved;
  try {
    outcome = ScanAndSave(start, settings, log, names, stop, counts);
  } catch (...) {
    WriteMetrics(settings, kNotSaved, startTime, started, counts, log);
    throw;
  }
  WriteMetrics(settings, stop.Stopped() ? 128 + stop.Received() : outcome, startTime, started,
               counts, log);
  return outcome;
}

namespace {

RunOutcome ScanAndSave(const RunStart& start, const Settings& settings, Log& log,
                       const OutputNames& names, const StopSignals& stop, RunCounts& counts) {
  SystemInfo info;
  info.computerName = start.node.computerName;
  info.macAddress = start.network.mac;
  info.ipAddress = start.network.ip;
  log.Progress("Get Language\n");
  info.language = ProbeLanguage();
  log.Progress("Get Username\n");
  info.userName = ProbeUserName();

  ::tzset();
  const std::time_t startTime = std::time(nullptr);
  info.scanDate = FormatScanDate(startTime);

  log.Progress("Scanning");
  // Written under a private name beside the scan file, which keeps its old
  // content until the new one is complete.
  OutputFile file;
  if (const Status created = file.Create(names.scanFile); !created) {
    log.Failed(created.failure());
    return Finish(kNotSaved, names.scanFile, log, created.failure().Why());
  }
  DocumentWriter document(file);
  WriteDocumentHeader(document);

  const auto stopped = [&stop] { return stop.Stopped(); };
  if (settings.files.enabled) {
    FileScanOptions options = FileScanOptionsFrom(settings.files);
    options.sleep = [&stop](int ms) { stop.Sleep(ms); };
    options.stopped = stopped;
    WriteElement(file, document, log, "File list", "", [&] {
      counts.files =
          ScanFiles(ScanRootFromArguments(start.arguments), options, document, log).rows;
    });
  }
  if (stop.Stopped()) return Stopped(stop, names.scanFile, log);

  log.Progress("CPU sig\n");
  info.hypervisor = ProbeHypervisor();

  log.Progress("OS info\n");
  info.scanDuration = FormatScanDuration(static_cast<long long>(std::time(nullptr) - startTime));
  info.system = OsDescriptionFrom("/etc");
  info.kernelRelease = start.node.kernelRelease;
  log.Progress("Get Domain\n");
  info.domainName = ProbeDomain();
  const KernelBuild build = ProbeKernelBuild();
  if (!build.probe) log.Failed(build.probe.failure());
  info.compileInfo = build.text;

  const HardwareFacts hardware = ProbeHardwareReporting(log);
  info.physicalCpuCount = hardware.cpu.count;
  info.logicalCpuCount = hardware.cpu.cores;

  document.Markup(kRowsetEnd);
  WriteSystemInfoStart(document, info);
  document.Markup(kEmptyDriveLists);
  if (settings.packages) {
    WriteElement(file, document, log, "Package list", "\t<Msi>\r\n\t</Msi>\r\n", [&] {
      PackageScanOptions packages;
      packages.is64Bit = start.node.is64Bit;
      packages.system = info.system;
      packages.spoolDirectory = ScanFileDirectory(names.scanFile);
      packages.stopped = stopped;
      counts.packages = RunPackageScan(packages, document, log);
    });
  }
  if (stop.Stopped()) return Stopped(stop, names.scanFile, log);
  if (settings.shortcuts) {
    WriteElement(file, document, log, "Shortcut list", "\t<Shortcuts>\r\n\t</Shortcuts>\r\n",
                 [&] { ScanShortcuts(kApplicationsDir, document, log); });
  }
  document.Markup(kSystemInfoEnd);
  WriteHardwareInfo(document, hardware);
  log.Progress("Scan ComputerData.xml\n");
  const std::string extra = settings.computerData.empty() ? kDefaultComputerData : settings.computerData;
  WriteElement(file, document, log, "Extra data", "", [&] { CopyExtraDataFile(document, extra); });
  document.Markup(kDocumentEnd);
  if (stop.Stopped()) return Stopped(stop, names.scanFile, log);

  log.Progress("Compress and save\n");
  if (const Status committed = file.Commit(); !committed) {
    log.Failed(committed.failure());
    return Finish(kNotSaved, names.scanFile, log, committed.failure().Why());
  }
  if (!settings.upload.enabled) return Finish(kSaved, names.scanFile, log);
  // A stop during the upload keeps the saved file for the next run.
  UploadOptions upload;
  upload.environment = ReadProxyEnvironment();
  upload.stopped = stopped;
  const std::optional<FileIdentity> sent = RunUpload(names.scanFile, settings.upload, log, upload);
  counts.uploaded = sent && !stop.Stopped();
  if (!*counts.uploaded) return Finish(kUploadFailed, names.scanFile, log);
  RemoveSentFile(names.scanFile, *sent, log);
  return Finish(kSaved, names.scanFile, log, ", uploaded");
}

}  // namespace
