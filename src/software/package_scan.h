// The package inventory: writes the Msi element into the scan file.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "base/document_text.h"
#include "base/failure.h"
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
  // The whole listing, library and commands, ends by then.
  std::chrono::milliseconds deadline{std::chrono::seconds(600)};
  // Where the rows wait, in an unnamed file, until the listing has ended.
  std::string spoolDirectory = "/tmp";
};

// Writes the Msi element: packages from the first RPM library that yields
// any, otherwise from the package commands. Both run in a child process,
// so a library that crashes counts as no library, and a listing that does
// not end by the deadline is killed; the rows reach the element only once
// the listing is complete. The one-line progress display numbers the
// library packages. When no method gives a list, the element stays empty
// and that is said on standard error and in the log. A listing that could
// not be completed (the deadline, a spool that failed) leaves the element
// empty too and is returned as a Failure for the run to report.
Status ScanPackages(const PackageScanOptions& options, DocumentWriter& document, Log& log);
