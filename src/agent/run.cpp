#include "agent/run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>

#include "agent/element_guard.h"
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

constexpr char kDefaultComputerData[] = "/etc/ComputerData.xml";

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

// Writes one element through `write`; when it fails, the element stays
// empty and the run says why.
void WriteElement(OutputFile& file, DocumentWriter& document, Log& log, std::string_view what,
                  std::string_view empty, const std::function<void()>& write) {
  if (const auto failure = WriteElementGuarded(file, document, empty, write))
    log.Error(std::string(what) + " left out: " + *failure);
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

// Deletes the uploaded scan file when it is still the one that was sent;
// false when something else now stands at its name and was kept.
bool RemoveSentFile(const std::string& path, const FileIdentity& sent) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return true;  // gone already: nothing to keep
  if (!S_ISREG(st.st_mode) || st.st_dev != sent.device || st.st_ino != sent.inode) return false;
  std::remove(path.c_str());
  return true;
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

RunOutcome RunScan(const RunStart& start, const Settings& settings, Log& log) {
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
  // Written under a private name beside the scan file, which keeps its old
  // content until the new one is complete.
  OutputFile file;
  if (!file.Create(names.scanFile)) {
    const int error = errno;
    log.SystemError(names.scanFile, error);
    return Finish(kNotSaved, names.scanFile, log, std::strerror(error));
  }
  DocumentWriter document(file);
  WriteDocumentHeader(document);

  if (settings.files.enabled) {
    WriteElement(file, document, log, "File list", "", [&] {
      ScanFiles(ScanRootFromArguments(start.arguments), FileScanOptionsFrom(settings.files),
                document, log);
    });
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
    WriteElement(file, document, log, "Package list", "\t<Msi>\r\n\t</Msi>\r\n", [&] {
      PackageScanOptions packages;
      packages.is64Bit = start.node.is64Bit;
      packages.system = info.system;
      ScanPackages(packages, document, log);
    });
  }
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

  log.Progress("Compress and save\n");
  if (!file.Commit()) {
    const int error = errno;
    log.SystemError(file.error() != 0 ? "Error writing tmp file" : "Error rename tmp file to scn file",
                    error);
    return Finish(kNotSaved, names.scanFile, log, std::strerror(error));
  }
  if (!settings.upload.enabled) return Finish(kSaved, names.scanFile, log);
  UploadOptions upload;
  upload.environment = ReadProxyEnvironment();
  const UploadOutcome outcome = UploadScanFile(names.scanFile, settings.upload, log, upload);
  if (!outcome.ok) return Finish(kUploadFailed, names.scanFile, log);
  if (!RemoveSentFile(names.scanFile, outcome.sent))
    log.Message("scan file replaced during the upload, kept: " + names.scanFile);
  return Finish(kSaved, names.scanFile, log, ", uploaded");
}
