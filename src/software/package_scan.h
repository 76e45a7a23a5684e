// The package inventory: writes the Msi element into the scan file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/document_text.h"
#include "base/log.h"
#include "software/command_output.h"

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
  // Asked while a package command runs; once true it is ended and nothing is listed.
  std::function<bool()> stopped;
};

// Writes the Msi element: packages from the first RPM library that yields
// any, otherwise from the package commands. The one-line progress display
// numbers the library packages. When no method gives a list, the element
// stays empty and that is said on standard error and in the log. Returns
// the number of packages listed.
size_t ScanPackages(const PackageScanOptions& options, DocumentWriter& document, Log& log);
