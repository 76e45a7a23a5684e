#include "software/package_scan.h"

#include "software/package_commands.h"
#include "software/package_record.h"
#include "software/rpm_library.h"

namespace {

std::string ForWidth(std::string path, bool is64Bit) {
  const size_t at = path.find("%s");
  if (at != std::string::npos) path.replace(at, 2, is64Bit ? "64" : "");
  return path;
}

}  // namespace

std::vector<std::string> DefaultRpmLibraryPaths() {
  return {"/usr/lib%s/librpm-4.4.so", "/usr/lib%s/librpm-4.3.so", "/usr/lib%s/librpm-4.2.so",
          "/usr/lib%s/librpm.so.3",   "/usr/lib%s/librpm.so.1",   "/usr/lib%s/librpm.so",
          // Current libraries, then the same names through the loader's search
          // path, which also knows the multiarch directories.
          "/usr/lib%s/librpm.so.10",  "/usr/lib%s/librpm.so.9",   "/usr/lib%s/librpm.so.8",
          "librpm.so.10",             "librpm.so.9",              "librpm.so.8"};
}

size_t ScanPackages(const PackageScanOptions& options, DocumentWriter& document, Log& log) {
  log.Progress("Scan RPM\n");
  log.Display("\n");
  document.Markup("\t<Msi>\r\n");

  std::vector<std::string> paths;
  for (const std::string& path : options.libraryPaths)
    paths.push_back(ForWidth(path, options.is64Bit));
  std::uint32_t counter = 0;
  const size_t fromLibrary = ReadRpmPackages(paths, [&](const PackageRecord& record) {
    WriteInstalled(document, record);
    ++counter;
    if (log.display()) log.Display(PackageProgressLine(counter, EscapeMarkup(record.productName)));
  });
  size_t listed = fromLibrary;
  if (fromLibrary == 0) {
    const std::optional<size_t> fromCommands =
        ListPackagesByCommands(options.commandPath, options.system, document, log, options.stopped);
    if (fromCommands) listed = *fromCommands;
    else if (!(options.stopped && options.stopped()))
      log.Error("No package list: dpkg-query, dpkg -l and rpm -qa all failed");
  }
  document.Markup("\t</Msi>\r\n");
  return listed;
}
