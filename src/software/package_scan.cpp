#include "software/package_scan.h"

#include <iostream>

#include "scan/globals.h"
#include "scan/xml_escape.h"
#include "software/package_commands.h"
#include "software/package_record.h"
#include "software/rpm_library.h"

std::uint32_t nRpmCounter = 0;

namespace {

std::string ForWidth(std::string path, bool is64Bit) {
  const size_t at = path.find("%s");
  if (at != std::string::npos) path.replace(at, 2, is64Bit ? "64" : "");
  return path;
}

}  // namespace

std::vector<std::string> DefaultRpmLibraryPaths() {
  return {"/usr/lib%s/librpm-4.4.so", "/usr/lib%s/librpm-4.3.so", "/usr/lib%s/librpm-4.2.so",
          "/usr/lib%s/librpm.so.3",   "/usr/lib%s/librpm.so.1",   "/usr/lib%s/librpm.so"};
}

void ScanPackages(const PackageScanOptions& options, std::ostream& out, std::ostream& progress,
                  std::uint32_t& counter) {
  const bool logging = options.logLevel != 0;
  if (logging) GLOBAL::LogMsg("Scan RPM\n");
  else progress << "\n";
  out << "\t<Msi>\r\n";

  std::vector<std::string> paths;
  for (const std::string& path : options.libraryPaths)
    paths.push_back(ForWidth(path, options.is64Bit));
  const size_t fromLibrary = ReadRpmPackages(paths, [&](const PackageRecord& record) {
    WriteInstalled(out, record);
    ++counter;
    if (!logging) progress << ProgressLine(counter, XmlEscaped(record.productName)) << std::flush;
  });
  if (fromLibrary == 0) ListPackagesByCommands(options.listFile, options.system, out, progress);

  out << "\t</Msi>\r\n";
}

void ScanMsi() {
  PackageScanOptions options;
  options.libraryPaths = DefaultRpmLibraryPaths();
  options.is64Bit = GLOBAL::m_b64Bit;
  options.system = szSystem;
  options.logLevel = GLOBAL::m_bLogging;
  ScanPackages(options, file, std::cout, nRpmCounter);
}
