// The package inventory: writes the Msi element into the scan file.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <cstdint>
#include <string_view>

#include "base/document_text.h"
#include "base/failure.h"
#include "software/command_output.h"
#include "software/package_record.h"

// The RPM library paths the agent tries.
std::vector<std::string> DefaultRpmLibraryPaths();

struct PackageScanOptions {
  // RPM library paths to try in order; "%s" stands for "64" on 64-bit
  // machines and for nothing otherwise.
  std::vector<std::string> libraryPaths = DefaultRpmLibraryPaths();
  bool is64Bit = false;
  std::string system;  // OS description, the Publisher of dpkg -l rows
  // Where the package commands are looked up, and their PATH.
  std::string commandPath = kStandardCommandPath;
  // The whole listing, library and commands, ends by then.
  std::chrono::milliseconds deadline{std::chrono::seconds(600)};
  // Where the rows wait, in an unnamed file, until the listing has ended.
  std::string spoolDirectory = "/tmp";
  // How long snap or flatpak may take to list its applications.
  std::chrono::milliseconds applicationListWait{60 * 1000};
  // Asked while the listing runs; once true it is ended and nothing is listed.
  std::function<bool()> stopped;
};

// What the package scan reports as it goes; the run words it.
class PackageScanObserver {
 public:
  virtual ~PackageScanObserver() = default;
  // The library gave its `number`th package, just written.
  virtual void LibraryPackage(std::uint32_t number, const PackageRecord& record) = 0;
  // The command `program` is tried because those before it failed.
  virtual void CommandFallback(std::string_view program) = 0;
  // snap or flatpak failed and listed nothing; `why` says which.
  virtual void ApplicationListFailed(std::string_view why) = 0;
};

// Writes the Msi element: packages from the first RPM library that yields
// any, otherwise from the package commands, then the snap and flatpak
// applications. Everything runs in child processes under one deadline, so
// a library that crashes counts as no library, and the rows reach the
// element only once the listing is complete. When it cannot complete, or
// no method gives a package list, the failure says so.
// Returns how many rows were listed.
Result<size_t> ScanPackages(const PackageScanOptions& options, DocumentWriter& document,
                            PackageScanObserver& observer);
