// One installed package as the scan file's Installed element carries it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/document_text.h"

// Raw (unescaped) values; whatever a source does not provide stays empty.
struct PackageRecord {
  std::string productName;
  std::string versionString;
  std::string helpLink;
  std::string installLocation;
  std::string installSource;
  std::string installDate;
  std::string publisher;
  std::string userName;
};

// Writes the Installed line for `record`.
void WriteInstalled(DocumentWriter& document, const PackageRecord& record);

// Install time (seconds since the epoch) as local "dd.mm.yyyy hh:mm:ss".
std::string FormatInstallDate(std::int32_t seconds);

// The one-line progress display for the `counter`-th library package:
// "\r", the counter in at least eight digits, a space and the name, padded
// and cut to 80 characters so that it overwrites the previous one.
std::string PackageProgressLine(std::uint32_t counter, std::string_view escapedName);
