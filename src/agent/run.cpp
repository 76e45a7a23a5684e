#include "agent/run.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "agent/move_file.h"
#include "agent/run_plan.h"
#include "agent/scan_document.h"
#include "base/document_text.h"
#include "base/output_file.h"
#include "files/file_scan.h"
#include "host/hardware.h"
#include "host/hypervisor.h"
#include "software/package_scan.h"
#include "software/shortcut_scan.h"
#include "upload/soap_upload.h"

namespace {

constexpr char kTempScanFile[] = "/tmp/temp.scn";
constexpr char kDefaultComputerData[] = "/etc/ComputerData.xml";

// The scan file goes under a fixed temporary name first. It is always made
// anew, so nothing another user left at that path is followed or written.
bool OpenTemporaryScanFile(OutputFile& file, Log& log) {
  if (file.CreateExclusive(kTempScanFile)) return true;
  log.SystemError(kTempScanFile, errno);
  return false;
}

// Gives the finished file its final name; false when it did not get there.
bool MoveToFinalName(bool tempCreated, const std::string& scanFile, Log& log) {
  if (tempCreated) {
    std::remove(scanFile.c_str());
    if (MoveFile(kTempScanFile, scanFile)) return true;
  } else {
    errno = EEXIST;  // what is at the temporary path is not ours to move
  }
  const int error = errno;
  log.Message(kTempScanFile);
  log.Message(scanFile);
  log.SystemError("Error rename tmp file to scn file", error);
  return false;
}

FileScanOptions FileScanOptionsFrom(const FileScanSettings& settings) {
  FileScanOptions options;
  options.allFiles = settings.allFiles;
  options.crc = settings.crc;
  options.pauseMs = settings.pauseMs;
  options.ignoreValues = settings.ignoreFolders;
  options.maxOpenDirs = OpenDirectoryBudget();
  return options;
}

HardwareFacts ProbeHardwareReporting(Log& log) {
  log.Progress("Scan Hardware\n");
  HardwareFacts hardware = ProbeHardware();
  // Only a machine where no disk was found at all is worth a word.
  if (!hardware.disk && log.messages() && log.level() != Log::kSilent) {
    if (hardware.diskProbe == DiskProbe::kCannotOpen)
      log.Print("ERROR: Cannot open device /dev/sda\n");
    if (hardware.diskProbe == DiskProbe::kNoIdentity)
      log.SystemError("HDD ioctl error", hardware.diskError);
  }
  return hardware;
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
  if (network.macError != 0) log.SystemError("ioctl 1", network.macError);
  if (network.ipError != 0) log.SystemError("ioctl 2", network.ipError);
}

int RunScan(const RunStart& start, const Settings& settings, Log& log) {
  std::remove(kTempScanFile);
  const OutputNames names = MakeOutputNames(settings.outputFolder, start.moduleDir,
                                            start.node.computerName, start.network.mac);
  log.SetFile(names.logFile);

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
  OutputFile file;
  const bool tempCreated = OpenTemporaryScanFile(file, log);
  DocumentWriter document(file);
  WriteDocumentHeader(document);

  if (settings.files.enabled) {
    ScanFiles(ScanRootFromArguments(start.arguments), FileScanOptionsFrom(settings.files),
              document, log);
  }

  log.Progress("CPU sig\n");
  info.hypervisor = ProbeHypervisor();

  log.Progress("OS info\n");
  info.scanDuration = FormatScanDuration(static_cast<long long>(std::time(nullptr) - startTime));
  info.system = OsDescriptionFrom("/etc");
  info.kernelRelease = start.node.kernelRelease;
  log.Progress("Get Domain\n");
  info.domainName = ProbeDomain();
  const KernelBuild build = ProbeKernelBuild();
  if (build.error != 0) log.SystemError("_sysctl", build.error);
  info.compileInfo = build.text;

  const HardwareFacts hardware = ProbeHardwareReporting(log);
  info.physicalCpuCount = hardware.cpu.count;
  info.logicalCpuCount = hardware.cpu.cores;

  document.Markup(kRowsetEnd);
  WriteSystemInfoStart(document, info);
  document.Markup(kEmptyDriveLists);
  if (settings.packages) {
    PackageScanOptions packages;
    packages.is64Bit = start.node.is64Bit;
    packages.system = info.system;
    ScanPackages(packages, document, log);
  }
  if (settings.shortcuts) ScanShortcuts(kApplicationsDir, document, log);
  document.Markup(kSystemInfoEnd);
  WriteHardwareInfo(document, hardware);
  log.Progress("Scan ComputerData.xml\n");
  CopyExtraDataFile(document,
                    settings.computerData.empty() ? kDefaultComputerData : settings.computerData);
  document.Markup(kDocumentEnd);
  const bool written = file.Close();
  if (tempCreated && !written) log.SystemError("Error writing tmp file", errno);

  log.Progress("Compress and save\n");
  const bool moved = MoveToFinalName(tempCreated, names.scanFile, log);

  // Only a file this run wrote is ever sent.
  if (settings.upload.enabled && moved && UploadScanFile(names.scanFile, settings.upload, log))
    std::remove(names.scanFile.c_str());

  log.Print("\nFinished, saved to: " + names.scanFile + "\n");
  return 0;
}
