#include "scan/run.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "files/file_scan.h"
#include "hardware/cpu_signature.h"
#include "hardware/hardware_scan.h"
#include "scan/globals.h"
#include "scan/identity.h"
#include "scan/move_file.h"
#include "scan/run_plan.h"
#include "scan/scan_format.h"
#include "scan/xml_escape.h"
#include "software/package_scan.h"
#include "software/shortcut_scan.h"
#include "upload/soap_upload.h"

namespace {

constexpr char kTempScanFile[] = "/tmp/temp.scn";
constexpr char kDefaultComputerData[] = "/etc/ComputerData.xml";

void Progress(const char* text) {
  if (GLOBAL::Logging()) GLOBAL::LogMsg(text);
}

std::string ReadModuleDirectory() {
  char target[4096];
  const std::string link = "/proc/" + std::to_string(::getpid()) + "/exe";
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  return ModuleDirectoryFrom(n > 0 ? std::string_view(target, static_cast<size_t>(n))
                                   : std::string_view());
}

// Loads the named settings file, else the one named after the computer,
// else scanunix.ini beside the executable; else keeps the defaults.
void LoadSettings(const std::vector<std::string>& arguments, const std::string& computerName) {
  std::string path = !arguments.empty() && NamesSettingsFile(arguments[0])
                         ? arguments[0]
                         : szModulePath + computerName;
  if (!ini.Load(path)) {
    path = szModulePath + "scanunix.ini";
    if (!ini.Load(path)) {
      GLOBAL::LogMsg("INI not found, using default values.");
      return;
    }
  }
  GLOBAL::LogMsg("INI: " + path);
}

// The scan file goes under a fixed temporary name first. It is always made
// anew, so nothing another user left at that path is followed or written.
bool OpenTemporaryScanFile() {
  if (file.CreateExclusive(kTempScanFile)) return true;
  std::perror(kTempScanFile);
  return false;
}

// Gives the finished file its final name; false when it did not get there.
bool MoveToFinalName(bool tempCreated, const std::string& scanFile) {
  if (tempCreated) {
    std::remove(scanFile.c_str());
    if (MoveFile(kTempScanFile, scanFile)) return true;
  } else {
    errno = EEXIST;  // what is at the temporary path is not ours to move
  }
  const int error = errno;
  GLOBAL::LogMsg(kTempScanFile);
  GLOBAL::LogMsg(scanFile);
  errno = error;
  std::perror("Error rename tmp file to scn file");
  return false;
}

void Upload(const std::string& scanFile) {
  std::string host, path;
  int port = 80;
  ParseHttpAddress(ini.m_szHttpAddress, host, path, port);
  if (UploadFileHttp(scanFile, host, path, port, ini.m_szHttpUsername, ini.m_szHttpPassword)) {
    std::remove(scanFile.c_str());
  }
}

}  // namespace

int RunScan(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);

  szModulePath = ReadModuleDirectory();
  std::remove(kTempScanFile);
  const NetworkIdentity network = ProbeNetwork();
  const NodeIdentity node = ProbeNode();
  GLOBAL::m_b64Bit = node.is64Bit;

  LoadSettings(arguments, node.computerName);

  const OutputNames names =
      MakeOutputNames(ini.m_szOutputFolder, szModulePath, node.computerName, network.mac);
  szLogFile = names.logFile;

  SystemInfo info;
  info.computerName = node.computerName;
  info.macAddress = network.mac;
  info.ipAddress = network.ip;
  Progress("Get Language\n");
  info.language = ProbeLanguage();
  Progress("Get Username\n");
  info.userName = ProbeUserName();

  ::tzset();
  const std::time_t start = std::time(nullptr);
  info.scanDate = FormatScanDate(start);

  Progress("Scanning");
  const bool tempCreated = OpenTemporaryScanFile();
  WriteDocumentHeader(file);

  if (ini.m_bFiles) ScanDir(ScanRootFromArguments(arguments).c_str());

  Progress("CPU sig\n");
  cpu_sig();
  info.hypervisor = sig;

  Progress("OS info\n");
  info.scanDuration = FormatScanDuration(static_cast<long long>(std::time(nullptr) - start));
  szSystem = OsDescriptionFrom("/etc");
  info.system = szSystem;
  XmlReplaceChars(info.userName);
  info.kernelRelease = node.kernelRelease;
  Progress("Get Domain\n");
  info.domainName = ProbeDomain();
  info.compileInfo = ProbeKernelBuild();

  ScanHardware();
  info.physicalCpuCount = szCpuCount;
  info.logicalCpuCount = szCpuCores;

  file << kRowsetEnd;
  WriteSystemInfoStart(file, info);
  file << kEmptyDriveLists;
  if (ini.m_bMsi) ScanMsi();
  if (ini.m_bShortcuts) ScanShortcuts();
  file << kSystemInfoEnd << szHardware;
  Progress("Scan ComputerData.xml\n");
  CopyExtraDataFile(file, ini.m_szComputerData.empty() ? kDefaultComputerData
                                                        : ini.m_szComputerData);
  file << kDocumentEnd;
  const bool written = file.close();
  if (tempCreated && !written) std::perror("Error writing tmp file");

  Progress("Compress and save\n");
  const bool moved = MoveToFinalName(tempCreated, names.scanFile);

  // Only a file this run wrote is ever sent.
  if (ini.m_bUploadByHttp && moved) Upload(names.scanFile);

  std::printf("\nFinished, saved to: %s\n", names.scanFile.c_str());
  std::fflush(stdout);
  return 0;
}
