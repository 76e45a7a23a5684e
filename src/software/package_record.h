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

