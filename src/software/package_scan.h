// The package inventory: writes the Msi element into the scan file.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct PackageScanOptions {
  // RPM library paths to try in order; "%s" stands for "64" on 64-bit
  // machines and for nothing otherwise.
  std::vector<std::string> libraryPaths;
  bool is64Bit = false;
  std::string system;  // OS description, the Publisher of dpkg -l rows
  int logLevel = 0;
  std::string listFile = "/tmp/packages.txt";
};

// The RPM library paths the agent tries.
std::vector<std::string> DefaultRpmLibraryPaths();

// Writes the Msi element to `out`: packages from the first RPM library that
// yields any, otherwise from the package commands. The one-line progress
// display and the command fallback notice go to `progress`; `counter`
// counts library packages.
void ScanPackages(const PackageScanOptions& options, std::ostream& out, std::ostream& progress,
                  std::uint32_t& counter);

// Library packages read so far in this process.
extern std::uint32_t nRpmCounter;

// Scans with the globals: the settings' log level, the machine width, the
// OS description, writing into the scan file.
void ScanMsi();
